# SPDX-License-Identifier: MIT
# x86-64 without AVX2: the machine's own compiler, with every test run under
# qemu-x86_64 as a processor from before AVX2 (Nehalem), so that the kernel
# dispatch itself is tried: there, the AVX2 kernel is an illegal instruction.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-x86_64 -cpu Nehalem)
