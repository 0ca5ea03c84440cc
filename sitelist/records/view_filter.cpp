// Filter expressions of the store's views: field names (URL:Category), string
// literals in single quotes (a doubled quote stands for one), UPPER( ) and
// LOWER( ), the comparisons = and <>, joined by AND. Comparisons are exact,
// with trailing spaces ignored on both sides. Anything else is refused with a
// message that says where.
#include "sitelist/records/store_internal.h"

#include <stdio.h>
#include <string.h>

#include <new>

enum { FILTER_MAX_TERMS = 16, FILTER_MAX_LITERAL = 1024, FILTER_MAX_NEST = 8, FILTER_VALUE_CAP = 4200 };

struct Operand {
  int field;  // field index, or -1 for the literal
  char literal[FILTER_MAX_LITERAL];
  uint16_t literal_len;
  uint8_t nfuncs;                  // case functions, innermost first
  uint8_t funcs[FILTER_MAX_NEST];  // 'U' or 'L'
};

struct Term {
  Operand left, right;
  int not_equal;
};

struct KsFilter {
  int nterms;
  Term terms[FILTER_MAX_TERMS];
};

struct Parser {
  const KsFileDecl* d;
  const char* s;
  size_t pos;
  char* err;
  size_t err_cap;
};

static void skip_space(Parser* p) {
  while (p->s[p->pos] == ' ' || p->s[p->pos] == '\t') p->pos++;
}

static int fail(Parser* p, const char* what) {
  if (p->err && p->err_cap) snprintf(p->err, p->err_cap, "%s at position %u", what, (unsigned)p->pos + 1);
  return 0;
}

static int is_word(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

static int word_equals(const char* w, size_t n, const char* kw) {
  if (strlen(kw) != n) return 0;
  for (size_t i = 0; i < n; i++)
    if (kAnsiUpper[(uint8_t)w[i]] != (uint8_t)kw[i]) return 0;
  return 1;
}

static int parse_operand(Parser* p, Operand* o, int depth) {
  skip_space(p);
  char c = p->s[p->pos];
  if (c == '\'') {
    p->pos++;
    o->field = -1;
    o->literal_len = 0;
    for (;;) {
      char ch = p->s[p->pos];
      if (ch == '\0') return fail(p, "unterminated string literal");
      p->pos++;
      if (ch == '\'') {
        if (p->s[p->pos] != '\'') break;
        p->pos++;
      }
      if (o->literal_len >= FILTER_MAX_LITERAL) return fail(p, "string literal too long");
      o->literal[o->literal_len++] = ch;
    }
    return 1;
  }
  if (!is_word(c)) return fail(p, "expected a field name, a quoted string, UPPER( or LOWER(");
  size_t start = p->pos;
  while (is_word(p->s[p->pos])) p->pos++;
  size_t wlen = p->pos - start;
  if (p->s[p->pos] == ':') {
    p->pos++;
    while (is_word(p->s[p->pos])) p->pos++;
    size_t n = p->pos - start;
    for (int i = 0; i < p->d->nfields; i++) {
      const char* name = p->d->fields[i].name;
      if (strlen(name) == n) {
        size_t k = 0;
        while (k < n && kAnsiUpper[(uint8_t)name[k]] == kAnsiUpper[(uint8_t)p->s[start + k]]) k++;
        if (k == n) {
          o->field = i;
          return 1;
        }
      }
    }
    p->pos = start;
    return fail(p, "unknown field name");
  }
  int func = word_equals(p->s + start, wlen, "UPPER") ? 'U' : word_equals(p->s + start, wlen, "LOWER") ? 'L' : 0;
  if (!func) {
    p->pos = start;
    return fail(p, "unknown name (fields are written PREFIX:Name)");
  }
  if (depth >= FILTER_MAX_NEST) return fail(p, "functions nested too deeply");
  skip_space(p);
  if (p->s[p->pos] != '(') return fail(p, "expected ( after function name");
  p->pos++;
  if (!parse_operand(p, o, depth + 1)) return 0;
  skip_space(p);
  if (p->s[p->pos] != ')') return fail(p, "expected )");
  p->pos++;
  o->funcs[o->nfuncs++] = (uint8_t)func;
  return 1;
}

int filter_compile(const KsFileDecl* d, const char* text, KsFilter** out, char* err, size_t err_cap) {
  *out = nullptr;
  if (err && err_cap) err[0] = 0;
  if (!text) return KS_OK;
  Parser p = {d, text, 0, err, err_cap};
  skip_space(&p);
  if (!text[p.pos]) return KS_OK;
  KsFilter* f = new (std::nothrow) KsFilter();
  if (!f) return KS_ERR_NO_MEMORY;
  for (;;) {
    if (f->nterms >= FILTER_MAX_TERMS) {
      fail(&p, "too many comparisons");
      break;
    }
    Term* t = &f->terms[f->nterms];
    if (!parse_operand(&p, &t->left, 0)) break;
    skip_space(&p);
    if (text[p.pos] == '=') {
      p.pos++;
      t->not_equal = 0;
    } else if (text[p.pos] == '<' && text[p.pos + 1] == '>') {
      p.pos += 2;
      t->not_equal = 1;
    } else {
      fail(&p, "expected = or <>");
      break;
    }
    if (!parse_operand(&p, &t->right, 0)) break;
    f->nterms++;
    skip_space(&p);
    if (!text[p.pos]) {
      *out = f;
      return KS_OK;
    }
    size_t start = p.pos;
    while (is_word(text[p.pos])) p.pos++;
    if (!word_equals(text + start, p.pos - start, "AND") || p.pos == start) {
      p.pos = start;
      fail(&p, "expected AND or the end of the expression");
      break;
    }
  }
  delete f;
  return KS_ERR_BAD_FILTER;
}

void filter_free(KsFilter* f) { delete f; }

// Value of an operand, without trailing spaces, into buf (FILTER_VALUE_CAP).
static size_t operand_value(const Operand* o, const FieldVals* v, char* buf) {
  size_t n;
  if (o->field < 0) {
    n = o->literal_len;
    memcpy(buf, o->literal, n);
  } else if (v->str[o->field]) {
    n = v->len[o->field];
    if (n > FILTER_VALUE_CAP) n = FILTER_VALUE_CAP;
    memcpy(buf, v->str[o->field], n);
  } else {
    int w = snprintf(buf, FILTER_VALUE_CAP, "%ld", (long)v->num[o->field]);
    n = w > 0 ? (size_t)w : 0;
  }
  for (int i = 0; i < o->nfuncs; i++) {
    const uint8_t* table = o->funcs[i] == 'U' ? kAnsiUpper : kAnsiLower;
    for (size_t k = 0; k < n; k++) buf[k] = (char)table[(uint8_t)buf[k]];
  }
  while (n > 0 && buf[n - 1] == ' ') n--;
  return n;
}

int filter_match(const KsFilter* f, const FieldVals* v) {
  if (!f) return 1;
  char a[FILTER_VALUE_CAP], b[FILTER_VALUE_CAP];
  for (int i = 0; i < f->nterms; i++) {
    const Term* t = &f->terms[i];
    size_t na = operand_value(&t->left, v, a);
    size_t nb = operand_value(&t->right, v, b);
    int equal = na == nb && memcmp(a, b, na) == 0;
    if (equal == t->not_equal) return 0;
  }
  return 1;
}
