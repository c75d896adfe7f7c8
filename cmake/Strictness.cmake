# One place for the warnings and language settings every target shares.
add_library(lekto_strict INTERFACE)
target_compile_features(lekto_strict INTERFACE cxx_std_20)
target_compile_options(lekto_strict INTERFACE -Wall -Wextra)
if(LEKTO_WERROR)
  target_compile_options(lekto_strict INTERFACE -Werror)
endif()
# Qt may never turn bytes into a QString without naming the encoding: the core is GBK, the window Unicode.
target_compile_definitions(lekto_strict INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_FROM_BYTEARRAY QT_NO_CAST_TO_ASCII)

if(LEKTO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(LEKTO_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(LEKTO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "LEKTO_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Coverage for libFuzzer in every library; the fuzz programs themselves link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
