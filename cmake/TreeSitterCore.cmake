# Builds the tree-sitter C core as a static library, target zarnu::tree_sitter.
#
# The sources come from the `tree-sitter` sdist, fetched by name with pip so
# that the only registry involved is the one the rest of the build already
# uses. pip checks the pinned hash; the archive is kept in the build directory
# and only fetched again when it is missing or does not match.
#
# The archive is used as published except for our patches in cmake/patches/
# (each says at its top what it fixes and why), applied with `patch` to every
# fresh extraction. The archive's pin does not change for them.
#
# Inputs: ZARNU_TREE_SITTER_VERSION, ZARNU_TREE_SITTER_SHA256, Python_EXECUTABLE.

set(_ts_name "tree_sitter-${ZARNU_TREE_SITTER_VERSION}")
set(_ts_cache "${CMAKE_BINARY_DIR}/_deps/download")
set(_ts_archive "${_ts_cache}/${_ts_name}.tar.gz")
set(_ts_root "${CMAKE_BINARY_DIR}/_deps/${_ts_name}")
set(_ts_lib "${_ts_root}/${_ts_name}/tree_sitter/core/lib")

set(_ts_have_archive FALSE)
if(EXISTS "${_ts_archive}")
  file(SHA256 "${_ts_archive}" _ts_hash)
  if(_ts_hash STREQUAL ZARNU_TREE_SITTER_SHA256)
    set(_ts_have_archive TRUE)
  else()
    file(REMOVE "${_ts_archive}")
  endif()
endif()

if(NOT _ts_have_archive)
  message(STATUS "Fetching tree-sitter ${ZARNU_TREE_SITTER_VERSION} source distribution")
  file(MAKE_DIRECTORY "${_ts_cache}")
  set(_ts_requirements "${CMAKE_BINARY_DIR}/_deps/tree-sitter-requirements.txt")
  file(WRITE "${_ts_requirements}"
       "tree-sitter==${ZARNU_TREE_SITTER_VERSION} --hash=sha256:${ZARNU_TREE_SITTER_SHA256}\n")
  execute_process(
    COMMAND "${Python_EXECUTABLE}" -m pip download
            --no-deps --no-binary :all: --require-hashes
            --disable-pip-version-check
            -r "${_ts_requirements}" -d "${_ts_cache}"
    RESULT_VARIABLE _ts_rc)
  if(NOT _ts_rc EQUAL 0 OR NOT EXISTS "${_ts_archive}")
    message(FATAL_ERROR
      "Could not download tree-sitter==${ZARNU_TREE_SITTER_VERSION} with pip "
      "(exit status ${_ts_rc}). The build needs the package registry.")
  endif()
  file(SHA256 "${_ts_archive}" _ts_hash)
  if(NOT _ts_hash STREQUAL ZARNU_TREE_SITTER_SHA256)
    message(FATAL_ERROR "${_ts_archive}: sha256 ${_ts_hash}, expected ${ZARNU_TREE_SITTER_SHA256}")
  endif()
endif()

# Error recovery in the core can nest as deep as the input is long; patched
# where that depth reached the native stack, which would kill the interpreter.
file(GLOB _ts_patches CONFIGURE_DEPENDS
     "${CMAKE_CURRENT_LIST_DIR}/patches/tree-sitter-*.patch")
list(SORT _ts_patches)
set(_ts_patch_hashes "")
foreach(_ts_patch IN LISTS _ts_patches)
  file(SHA256 "${_ts_patch}" _ts_patch_hash)
  string(APPEND _ts_patch_hashes "${_ts_patch_hash}")
endforeach()
string(SHA256 _ts_patch_digest "${_ts_patch_hashes}")
string(SUBSTRING "${_ts_patch_digest}" 0 16 _ts_patch_digest)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_ts_patches})

# The stamp names the archive's hash and the patches' digest, so a changed pin
# or a changed patch never reuses a stale extraction.
set(_ts_stamp "${_ts_root}/.extracted-${ZARNU_TREE_SITTER_SHA256}-${_ts_patch_digest}")
if(NOT EXISTS "${_ts_stamp}")
  file(REMOVE_RECURSE "${_ts_root}")
  file(ARCHIVE_EXTRACT
       INPUT "${_ts_archive}"
       DESTINATION "${_ts_root}"
       PATTERNS "${_ts_name}/tree_sitter/core/lib/*" "${_ts_name}/LICENSE")
  if(NOT EXISTS "${_ts_lib}/src/lib.c" OR NOT EXISTS "${_ts_lib}/include/tree_sitter/api.h")
    message(FATAL_ERROR "${_ts_archive} does not have the expected core/lib layout")
  endif()
  if(_ts_patches)
    # GNU patch comes with build-essential (through dpkg-dev); git may not be
    # installed where the package is built.
    find_program(ZARNU_PATCH_EXECUTABLE patch REQUIRED)
  endif()
  foreach(_ts_patch IN LISTS _ts_patches)
    execute_process(
      COMMAND "${ZARNU_PATCH_EXECUTABLE}" -p1 --forward --batch
              --no-backup-if-mismatch -i "${_ts_patch}"
      WORKING_DIRECTORY "${_ts_root}/${_ts_name}"
      RESULT_VARIABLE _ts_rc)
    if(NOT _ts_rc EQUAL 0)
      message(FATAL_ERROR "${_ts_patch} does not apply to ${_ts_archive}")
    endif()
  endforeach()
  # Extracted files keep the archive's dates, older than an object built from
  # a previously patched tree; lib.c includes every other source.
  file(TOUCH "${_ts_lib}/src/lib.c")
  file(TOUCH "${_ts_stamp}")
endif()

# lib.c is a unity build of the whole core and is C only.
add_library(zarnu_tree_sitter STATIC "${_ts_lib}/src/lib.c")
add_library(zarnu::tree_sitter ALIAS zarnu_tree_sitter)
target_include_directories(zarnu_tree_sitter PRIVATE "${_ts_lib}/src")
# SYSTEM keeps warnings from api.h out of our -Werror build.
target_include_directories(zarnu_tree_sitter SYSTEM PUBLIC "${_ts_lib}/include")
# Other extensions in the same process (the py-tree-sitter binding, for one)
# may carry their own copy of the core, possibly another version. Exported
# ts_* symbols would let the dynamic linker bind our calls to theirs, so the
# core is kept private: api.h otherwise forces default visibility on every
# declaration, and the definition must be seen by our sources too.
target_compile_definitions(zarnu_tree_sitter
  PUBLIC TREE_SITTER_HIDE_SYMBOLS
  PRIVATE _DEFAULT_SOURCE)
set_target_properties(zarnu_tree_sitter PROPERTIES
  C_STANDARD 11
  C_STANDARD_REQUIRED ON
  C_EXTENSIONS OFF
  POSITION_INDEPENDENT_CODE ON
  C_VISIBILITY_PRESET hidden)

# The core is linked statically, so its licence travels with the wheel.
if(DEFINED SKBUILD_METADATA_DIR)
  install(FILES "${_ts_root}/${_ts_name}/LICENSE"
          DESTINATION "${SKBUILD_METADATA_DIR}/licenses"
          RENAME "tree-sitter-LICENSE")
endif()
