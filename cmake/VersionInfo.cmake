# Generated version information of each deliverable: the product texts and the
# four-number file version that the programs report and persist.
set(QD40_PRODUCT_VERSION "B.10")
set(QD40_FILE_VERSION_MAJOR 2)
set(QD40_FILE_VERSION_MINOR 10)
set(QD40_FILE_VERSION_BUILD 0)
set(QD40_FILE_VERSION_REVISION 0)
set(QD40_LEGAL_COPYRIGHT "Copyright (C) Ovix")
set(QD40_SPECIAL_BUILD "")

# qd40_version_info(TARGET PRODUCT_NAME IDENT): writes <ident>_version.h into the
# target's generated include folder.
function(qd40_version_info target product_name ident)
  set(QD40_PRODUCT_NAME "${product_name}")
  set(QD40_IDENT "${ident}")
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version_info.h.in ${out_dir}/${ident}_version.h @ONLY)
  target_include_directories(${target} PUBLIC ${out_dir})
endfunction()
