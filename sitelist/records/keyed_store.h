// Tabulink's keyed record store: one .KSF file per declared record file, records
// with fixed-width fields, ordered keys, views with filter expressions and
// transactions over several files. Several threads and several running copies may
// use the same files at once; there are no record locks, and a put that would
// overwrite another station's newer change fails with KS_ERR_CHANGED.
//
// Every function returns 0 (KS_OK) or one of the error codes below; ks_error_text
// gives the code's text. Record buffers are the caller's structs, laid out as the
// file's declaration says; each ends with a KsTag that the store fills on every
// read and checks on put and delete.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Error codes the program tests (and a few of the store's own).
enum {
  KS_OK = 0,
  KS_ERR_ACCESS = 5,          // the file could not be opened or written
  KS_ERR_NO_MEMORY = 8,       // out of memory
  KS_ERR_NO_FILE = 2,         // file not found
  KS_ERR_LOCKED = 32,         // file locked (by another user, or left by an interrupted transaction)
  KS_ERR_NO_RECORD = 33,      // record not available (end of a sequential pass)
  KS_ERR_NOT_FOUND = 35,      // record not found
  KS_ERR_NOT_OPEN = 37,       // file not open
  KS_ERR_DUPLICATE = 40,      // creates duplicate key
  KS_ERR_REBUILD = 46,        // key file must be rebuilt
  KS_ERR_INVALID = 47,        // invalid record declaration (file does not match its declaration)
  KS_ERR_ALREADY_OPEN = 52,   // file already open
  KS_ERR_CHANGED = 89,        // record changed by another station
  KS_ERR_IO = 90,             // file system error
  KS_ERR_BAD_FILTER = 800,    // invalid filter expression
  KS_ERR_BAD_ARGUMENT = 801,  // invalid parameter (wrong file, key or handle)
};

// Text of an error code ("Record Not Found"); never NULL.
const char* ks_error_text(int code);

// ---- Declarations -------------------------------------------------------

enum KsFieldType : uint8_t {
  KS_STRING = 1,   // char[width], space padded, not zero-terminated
  KS_DECIMAL = 2,  // int32_t holding a signed decimal of `width` digits (1..9)
  KS_LONG = 3,     // int32_t
  KS_BYTE = 4,     // uint8_t
};

struct KsField {
  const char* name;  // "URL:Location"
  uint8_t type;      // KsFieldType
  uint16_t width;    // characters (STRING) or digits (DECIMAL); 0 otherwise
  uint16_t offset;   // offset of the field in the record struct
};

enum KsKeyFlags : uint8_t {
  KS_UNIQUE = 1,         // a second record with an equal key value fails with KS_ERR_DUPLICATE
  KS_NOCASE = 2,         // string components compare lower-cased (Windows ANSI code page)
  KS_EXCLUDE_BLANK = 4,  // records whose components are all blank or zero are not in the key
  KS_PRIMARY = 8,        // the file's primary key (informational)
};

enum { KS_MAX_KEY_PARTS = 4, KS_MAX_KEYS = 8, KS_MAX_FIELDS = 12 };

struct KsKeyPart {
  uint8_t field;       // index into the file's fields
  uint8_t descending;  // 1: this component orders from high to low
};

struct KsKey {
  const char* name;         // "URL:K_Location"
  const char* description;  // shown in "Duplicate Key Error" ("Site Location")
  uint8_t flags;            // KsKeyFlags
  uint8_t nparts;
  KsKeyPart parts[KS_MAX_KEY_PARTS];
};

enum KsFileKind : uint8_t {
  KS_KEYED = 1,  // a .KSF keyed file
  KS_LINES = 2,  // a plain text file, one line per record, first field only
};

// The record buffer's trailer: which record it was read as, and which version.
struct KsTag {
  uint32_t id;       // record id in its file (0: not read from the file)
  uint32_t version;  // the record's version when it was read
};

struct KsFileDecl {
  const char* label;      // "TABLNK": the file's name in messages
  const char* prefix;     // "URL"
  const char* disk_name;  // "URL_L" (".KSF" is added); NULL when the name comes from a variable
  uint8_t kind;           // KsFileKind
  uint16_t record_size;   // sizeof the record struct
  uint16_t tag_offset;    // offsetof the KsTag in the struct
  const KsField* fields;
  uint8_t nfields;
  const KsKey* keys;
  uint8_t nkeys;
  const char* memo_name;  // "URL:SiteInfo", or NULL
  uint16_t memo_size;     // memo capacity in characters (buffer holds one more for the zero)
  uint16_t memo_offset;   // offsetof the memo's char array
};

// Checks a declaration for internal consistency (offsets inside the record,
// key parts naming fields, sizes within limits). KS_OK or KS_ERR_INVALID.
int ks_check_decl(const KsFileDecl* decl);

// ---- Files --------------------------------------------------------------

struct KsFile;    // an open file; may be shared by several threads
struct KsCursor;  // a position in one key (or physical order) with an optional filter
struct KsTxn;     // a transaction over several files

enum KsOpenMode {
  KS_SHARED = 0,      // read and write, others may read and write too
  KS_DENY_WRITE = 1,  // read only, others may not write (fails with 32 while others have it open to write)
};

// Builds the file's disk name: `name` when given, else decl->disk_name + ".KSF"
// (line files need a name). Returns 0 when it does not fit `cap`.
int ks_file_name(const KsFileDecl* decl, const char* name, char* out, size_t cap);

// Opens a file. *out must be NULL on entry (else KS_ERR_ALREADY_OPEN). Errors:
// 2 missing, 32 locked or left by an interrupted transaction (see ks_recover),
// 46 keys damaged (see ks_rebuild), 47 not a file of this declaration.
int ks_open(const KsFileDecl* decl, const char* name, int mode, KsFile** out);
int ks_close(KsFile* f);

// Creates the file empty, replacing any file of that name (fails with 32 while it is open).
int ks_create(const KsFileDecl* decl, const char* name);
// Deletes the file (fails with 32 while it is open elsewhere).
int ks_remove(const KsFileDecl* decl, const char* name);
// Settles a file left by an interrupted transaction: completes or discards that
// transaction as its other files show, waiting up to wait_ms for access.
int ks_recover(const KsFileDecl* decl, const char* name, unsigned wait_ms);
// Rebuilds every key of a closed file from its records (answer to error 46).
int ks_rebuild(const KsFileDecl* decl, const char* name);

const KsFileDecl* ks_decl(const KsFile* f);

// ---- Records ------------------------------------------------------------

// Adds the record; fills its tag. 40 when a unique key would repeat.
int ks_add(KsFile* f, void* rec);
// Rewrites the record the buffer was read as. 89 when another station changed
// or deleted it since, 40 on a unique key, 35 when the buffer was never read.
int ks_put(KsFile* f, void* rec);
// Deletes the record the buffer was read as (89 / 35 as for put).
int ks_delete(KsFile* f, void* rec);
// Reads the record whose key `key` equals the key built from rec's fields
// (all components, exact): 35 when there is none.
int ks_get(KsFile* f, int key, void* rec);
int ks_count(KsFile* f, uint32_t* count);
// Size of the file on disk in bytes (for progress shown as a share of the file).
int ks_file_size(KsFile* f, uint64_t* bytes);
// Bytes of the file's records as cursors count them (ks_cursor_bytes), without
// keys, headers or log: a pass over every record reads exactly this many, so
// progress shown as a share of it ends at 100%. Keyed files only.
int ks_record_bytes(KsFile* f, uint64_t* bytes);
// Read-ahead hint around long sequential passes (1 on, 0 off). While it is on,
// cursors see other stations' changes only when they are set.
void ks_read_ahead(KsFile* f, int on);

// Clears a record buffer: strings to spaces, numbers to 0, memo empty, tag 0.
void ks_clear(const KsFileDecl* decl, void* rec);

// ---- Positions ------------------------------------------------------------

enum { KS_POSITION_MAX = 512 };
struct KsPosition {
  uint16_t size;                  // bytes used in data
  uint8_t data[KS_POSITION_MAX];  // opaque
};

// The position of the record the buffer was last read as, in key `key` (-1:
// physical order). Re-read it with ks_reget, or set a cursor there.
int ks_get_position(KsFile* f, int key, const void* rec, KsPosition* pos);
// Re-reads exactly the record of the position; 35 when it is gone.
int ks_reget(KsFile* f, const KsPosition* pos, void* rec);

// ---- Cursors and views ------------------------------------------------------

// Opens a cursor in key `key`, or in physical order when key is -1, with an
// optional filter expression (NULL or "" for none): field names (URL:Category),
// 'quoted literals', UPPER( ), LOWER( ), = , <> and AND. KS_ERR_BAD_FILTER
// for anything else; the message (if `err` is given) says what is wrong.
int ks_cursor_open(KsFile* f, int key, const char* filter, KsCursor** out, char* err = nullptr, size_t err_cap = 0);
void ks_cursor_close(KsCursor* c);
// Sets the cursor before the first entry at or after the key built from rec
// (partly filled: the rest at their lowest values). rec NULL: start of file.
int ks_set(KsCursor* c, const void* rec);
// Sets the cursor after the last entry (to read backwards).
int ks_set_end(KsCursor* c);
// Sets the cursor so that next reads the record of the position (or the one
// after it, if it is gone).
int ks_set_position(KsCursor* c, const KsPosition* pos);
// Reads the next / previous record passing the filter: 33 at the end.
int ks_next(KsCursor* c, void* rec);
int ks_previous(KsCursor* c, void* rec);
// Bytes of the records a cursor has read so far (line files: bytes of lines),
// for progress shown as a share of ks_file_size.
uint64_t ks_cursor_bytes(const KsCursor* c);

// ---- Transactions -------------------------------------------------------

// Begins a transaction over the files, waiting up to wait_ms for each (32 when
// one stays locked). Until commit or rollback, this thread's add, put and
// delete on those files belong to the transaction; other users wait.
int ks_begin(KsFile* const* files, int nfiles, unsigned wait_ms, KsTxn** out);
// Makes every change of the transaction durable in all its files at once.
int ks_commit(KsTxn* t);
// Undoes every change of the transaction.
int ks_rollback(KsTxn* t);

// ---- Test hooks -----------------------------------------------------------

// Makes the n-th following add, put or delete inside a transaction (counted
// process-wide) fail with KS_ERR_IO; 0 turns it off. For tests of all-or-nothing.
void ks_debug_fail_after(int n);
// Called at the steps of a commit over several files (1: the pending batches are
// written and flushed; 2: the deciding batch is written). A crash test ends the
// process there. NULL turns it off.
typedef void (*KsCommitHook)(int step);
void ks_debug_commit_hook(KsCommitHook fn);
