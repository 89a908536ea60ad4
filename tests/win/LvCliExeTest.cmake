# Runs lumivue-cli.exe itself under Wine: file names outside the ANSI code page reach it through the wide
# command line, and metafiles convert to BMP.
#   cmake -DEMULATOR=... -DCLI=lumivue-cli.exe -DDATA=tests/data -DWORK=folder -P LvCliExeTest.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(run_cli expect_code)
  execute_process(COMMAND ${EMULATOR} "${CLI}" ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL expect_code)
    message(FATAL_ERROR "lumivue-cli ${ARGN}: exit ${code} (expected ${expect_code})\n${out}\n${err}")
  endif()
  set(cli_out "${out}" PARENT_SCOPE)
  set(cli_err "${err}" PARENT_SCOPE)
endfunction()

# Unicode names in and out; the picture keeps its size.
set(in "${WORK}/Fotoğraf 日本.bmp")
set(out "${WORK}/Çıktı 出力.bmp")
file(COPY_FILE "${DATA}/bmp/v3-24.bmp" "${in}")
run_cli(0 info --json "Z:${in}")
set(before "${cli_out}")
run_cli(0 convert "Z:${in}" "Z:${out}")
if(NOT EXISTS "${out}")
  message(FATAL_ERROR "convert wrote no ${out}")
endif()
run_cli(0 info --json "Z:${out}")
if(NOT cli_out STREQUAL before)
  message(FATAL_ERROR "converted picture differs:\n${before}\n${cli_out}")
endif()
# A missing file is reported with its name, in UTF-8.
run_cli(1 info "Z:${WORK}/Yok 無.bmp")
if(NOT cli_err MATCHES "Yok 無.bmp")
  message(FATAL_ERROR "the error does not name the file: ${cli_err}")
endif()

# Metafiles to BMP, at the sizes their headers give.
foreach(pair "gdi-shapes.wmf;96;48" "gdi-shapes.emf;60;60" "shapes-pstoedit.emf;140;70" "plot-gnuplot.emf;319;200")
  list(GET pair 0 name)
  list(GET pair 1 width)
  list(GET pair 2 height)
  run_cli(0 convert "Z:${DATA}/wmf/${name}" "Z:${WORK}/${name}.bmp")
  run_cli(0 info --json "Z:${WORK}/${name}.bmp")
  if(NOT cli_out MATCHES "\"format\": \"BMP\", \"width\": ${width}, \"height\": ${height}, \"bpp\": 24")
    message(FATAL_ERROR "${name}: ${cli_out}")
  endif()
endforeach()
# Writing a metafile is refused.
run_cli(1 convert "Z:${in}" "Z:${WORK}/out.wmf")
message(STATUS "lumivue-cli.exe: Unicode names and metafile conversion work")
