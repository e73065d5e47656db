# SPDX-License-Identifier: MIT
# Cross builds with Debian's cross compilers (g++-TRIPLET), run under
# qemu-user (qemu-PROCESSOR) with the target's libraries from /usr/TRIPLET.
# Included by a toolchain file that sets CMAKE_SYSTEM_PROCESSOR and, where
# they are not PROCESSOR-linux-gnu and qemu-PROCESSOR, triplet and qemu.
set(CMAKE_SYSTEM_NAME Linux)
if(NOT triplet)
  set(triplet ${CMAKE_SYSTEM_PROCESSOR}-linux-gnu)
endif()
if(NOT qemu)
  set(qemu qemu-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${qemu} -L /usr/${triplet})
