# SPDX-License-Identifier: MIT
# 64-bit ARM (Graviton and other ARM servers): the NEON kernel.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
