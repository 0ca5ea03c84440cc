# Native build with clang for AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
