# SPDX-License-Identifier: MIT
# 32-bit ARM with hardware floating point (Raspberry Pi OS 32-bit and other
# ARMv7 boards): the portable kernel, and 32-bit file offsets by default.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(triplet arm-linux-gnueabihf)
set(qemu qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
