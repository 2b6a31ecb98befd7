# One interface target carries the language level, warnings and Qt defines for every target.
add_library(veltry_options INTERFACE)
target_compile_features(veltry_options INTERFACE cxx_std_20)
target_compile_options(veltry_options INTERFACE
  -Wall -Wextra -Wshadow -Woverloaded-virtual
  $<$<CXX_COMPILER_ID:GNU>:-Wsuggest-override>)
target_compile_definitions(veltry_options INTERFACE
  QT_DISABLE_DEPRECATED_BEFORE=0x060000
  QT_NO_CAST_FROM_BYTEARRAY
  QT_USE_QSTRINGBUILDER)
if(VELTRY_SANITIZE)
  target_compile_options(veltry_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(veltry_options INTERFACE -fsanitize=address,undefined)
endif()
if(VELTRY_FUZZ)
  # Every library a fuzzer links reports its coverage to the fuzzer and runs under the sanitizers.
  target_compile_options(veltry_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(veltry_options INTERFACE -fsanitize=address,undefined)
endif()
