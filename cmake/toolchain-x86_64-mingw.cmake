# Cross toolchain: 64-bit Windows binaries from Debian's mingw-w64, for bench
# machines whose kernel runs no 32-bit programs (tools/bench-arch.sh).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
