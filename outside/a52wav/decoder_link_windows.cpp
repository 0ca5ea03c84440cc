// decoder_link_windows: loads TXDECODE.dll by name and looks up its three exports.
#include <windows.h>

#include <stdio.h>

#include "outside/a52wav/decoder_link.h"

int openDecoderLink(DecoderLink* link, char* err, size_t cap) {
  link->init = nullptr;
  link->decode = nullptr;
  link->release = nullptr;
  HMODULE module = LoadLibraryA("TXDECODE.dll");
  link->module = module;
  if (!module) {
    snprintf(err, cap, "cannot load TXDECODE.dll (error %lu)", (unsigned long)GetLastError());
    return 0;
  }
  // GetProcAddress yields a generic FARPROC; each is converted to its real signature.
  link->init = reinterpret_cast<InitDecoderFn>(reinterpret_cast<void*>(GetProcAddress(module, "dbInitDecoder")));
  link->decode = reinterpret_cast<DecodeFn>(reinterpret_cast<void*>(GetProcAddress(module, "dbDecode")));
  link->release = reinterpret_cast<FreeDecoderFn>(reinterpret_cast<void*>(GetProcAddress(module, "dbFreeDecoder")));
  const char* missing = !link->init      ? "dbInitDecoder"
                        : !link->decode  ? "dbDecode"
                        : !link->release ? "dbFreeDecoder"
                                         : nullptr;
  if (missing) {
    snprintf(err, cap, "TXDECODE.dll does not export %s", missing);
    FreeLibrary(module);
    link->module = nullptr;
    return 0;
  }
  return 1;
}

void closeDecoderLink(DecoderLink* link) {
  if (link->module) FreeLibrary(static_cast<HMODULE>(link->module));
  link->module = nullptr;
}
