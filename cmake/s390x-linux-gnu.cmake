# SPDX-License-Identifier: MIT
# IBM Z, big-endian: the portable kernel.
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
