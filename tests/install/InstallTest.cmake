# Run by ctest with cmake -P. PART=files: installs the build into PREFIX (afresh) and checks every
# file against its source; PART=program: the installed program, started from an empty folder with
# no display, finds the installed content pack, and reports it missing once it is moved away.
cmake_minimum_required(VERSION 3.20)

function(fail)
  string(JOIN "" text ${ARGN})
  message(FATAL_ERROR "${text}")
endfunction()

# Runs the installed program in folder `dir` with no display; sets <out>_status and <out>_err.
function(run_program out dir)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=SDL_VIDEODRIVER
            SDL_AUDIODRIVER=dummy VX_MESSAGE_BOX=0 ${PREFIX}/bin/vorthalimex
    WORKING_DIRECTORY ${dir}
    RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_VARIABLE ignored
    TIMEOUT 60)
  set(${out}_status "${status}" PARENT_SCOPE)
  set(${out}_err "${err}" PARENT_SCOPE)
endfunction()

set(pack ${PREFIX}/share/vorthalimex)

if(PART STREQUAL "files")
  file(REMOVE_RECURSE ${PREFIX})
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    fail("cmake --install failed (${status}):\n${out}${err}")
  endif()

  # The programs, installed and runnable (no build-tree library paths needed), the content
  # generator under the project's own name only.
  if(EXISTS ${PREFIX}/bin/contentgen)
    fail("the content generator was installed as bin/contentgen, a name another package may own")
  endif()
  foreach(program vorthalimex vorthalimex-capture vxar vorthalimex-contentgen)
    if(NOT EXISTS ${PREFIX}/bin/${program} OR IS_DIRECTORY ${PREFIX}/bin/${program})
      fail("bin/${program} was not installed")
    endif()
    execute_process(COMMAND ${PREFIX}/bin/${program} --help RESULT_VARIABLE status
                    OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
    if(NOT status EQUAL 0 OR out STREQUAL "")
      fail("the installed ${program} --help exited with ${status} and printed '${out}' '${err}'")
    endif()
  endforeach()

  # The content pack: every file of the run directory's data/ and blow.job, byte for byte, and
  # nothing else.
  file(GLOB_RECURSE built RELATIVE ${RUN_DIR} ${RUN_DIR}/data/*)
  list(APPEND built blow.job)
  list(LENGTH built count)
  if(count LESS 15)
    fail("the run directory ${RUN_DIR} holds only ${count} content files: ${built}")
  endif()
  foreach(file ${built})
    if(NOT EXISTS ${pack}/${file})
      fail("share/vorthalimex/${file} was not installed")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${RUN_DIR}/${file} ${pack}/${file}
                    RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
      fail("share/vorthalimex/${file} differs from ${RUN_DIR}/${file}")
    endif()
  endforeach()
  file(GLOB_RECURSE installed RELATIVE ${pack} ${pack}/*)
  list(SORT installed)
  list(SORT built)
  if(NOT installed STREQUAL built)
    fail("share/vorthalimex holds ${installed}; the run directory ${built}")
  endif()

  # Desktop entry, icons and documentation, the same bytes as their sources.
  set(copies
    "packaging/vorthalimex.desktop=share/applications/vorthalimex.desktop"
    "packaging/vorthalimex.svg=share/icons/hicolor/scalable/apps/vorthalimex.svg"
    "README.md=share/doc/vorthalimex/README.md")
  foreach(pair ${copies})
    string(REPLACE "=" ";" pair ${pair})
    list(GET pair 0 from)
    list(GET pair 1 to)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE_DIR}/${from} ${PREFIX}/${to}
                    RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
      fail("${to} is missing or differs from ${from}")
    endif()
  endforeach()
  if(ICON_PNGS)
    foreach(size 48 128 256)
      set(png ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/vorthalimex.png)
      if(NOT EXISTS ${png})
        fail("the ${size}x${size} icon was not installed")
      endif()
      # PNG signature, then the IHDR chunk: width and height as 32-bit big-endian numbers.
      file(READ ${png} head LIMIT 24 HEX)
      math(EXPR hex_size "${size}" OUTPUT_FORMAT HEXADECIMAL)
      string(SUBSTRING "${hex_size}" 2 -1 digits)
      string(LENGTH "${digits}" n)
      math(EXPR pad "8 - ${n}")
      string(REPEAT "0" ${pad} zeros)
      set(dim "${zeros}${digits}")
      string(TOLOWER "89504e470d0a1a0a0000000d49484452${dim}${dim}" expected)
      if(NOT head STREQUAL expected)
        fail("the ${size}x${size} icon is not a ${size}x${size} PNG (starts ${head})")
      endif()
    endforeach()
  endif()
  # Each program's manual page: set by man without a warning from groff, under its name, with
  # what --help says and what the include file adds.
  find_program(man man)
  find_program(gzip gzip)
  if(NOT man OR NOT gzip)
    fail("man and gzip are needed to read the manual pages (scripts/install-deps installs them)")
  endif()
  foreach(page "vorthalimex|--faithful|FILES" "vorthalimex-capture|--run-dir|FILES" "vxar|vxar extract|EXAMPLES"
               "vorthalimex-contentgen|vorthalimex-contentgen [options] RUN_DIR|SEE ALSO")
    string(REPLACE "|" ";" page "${page}")
    list(GET page 0 name)
    list(GET page 1 from_help)
    list(GET page 2 from_include)
    set(file ${PREFIX}/share/man/man1/${name}.1.gz)
    if(NOT EXISTS ${file})
      fail("share/man/man1/${name}.1.gz was not installed")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=80 LC_ALL=C.UTF-8 ${man} --warnings -l ${file}
                    RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE err)
    string(TOUPPER "${name}" heading)
    string(FIND "${text}" "${from_help}" help_at)
    string(FIND "${text}" "${from_include}" include_at)
    if(NOT status EQUAL 0 OR NOT err STREQUAL "" OR NOT text MATCHES "^${heading}\\(1\\)" OR help_at EQUAL -1
       OR include_at EQUAL -1)
      fail("man ${name}: status ${status}, '${from_help}' and '${from_include}' expected:\n${err}${text}")
    endif()
  endforeach()

  # The copyright file (Debian's machine-readable format) carries LICENSE's text; the changelog
  # is packaging/changelog, compressed.
  set(copyright ${PREFIX}/share/doc/vorthalimex/copyright)
  if(NOT EXISTS ${copyright})
    fail("share/doc/vorthalimex/copyright was not installed")
  endif()
  file(READ ${copyright} text)
  file(STRINGS ${SOURCE_DIR}/LICENSE license_lines REGEX "^THE SOFTWARE IS PROVIDED|^copies or substantial")
  foreach(line ${license_lines})
    string(FIND "${text}" "\n ${line}\n" at)
    if(at EQUAL -1)
      fail("the copyright file lacks the licence line '${line}':\n${text}")
    endif()
  endforeach()
  if(NOT text MATCHES "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     OR NOT text MATCHES "\nFiles: \\*\nCopyright: [0-9]+ [^\n]+\nLicense: Expat\n"
     OR NOT text MATCHES "\nLicense: Expat\n Permission is hereby granted")
    fail("the copyright file is not in Debian's format with the Expat (MIT) licence:\n${text}")
  endif()
  execute_process(COMMAND ${gzip} -dc ${PREFIX}/share/doc/vorthalimex/changelog.gz
                  RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE err)
  file(READ ${SOURCE_DIR}/packaging/changelog expected)
  if(NOT status EQUAL 0 OR NOT text STREQUAL expected)
    fail("share/doc/vorthalimex/changelog.gz is not packaging/changelog (${status} ${err})")
  endif()

  find_program(validate desktop-file-validate)
  if(validate)
    execute_process(COMMAND ${validate} ${PREFIX}/share/applications/vorthalimex.desktop
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
      fail("desktop-file-validate: ${out}${err}")
    endif()
  endif()

elseif(PART STREQUAL "program")
  # The pack is searched before the window is made: with no display, a found pack gets the
  # program as far as the window, a missing one is reported as such.
  set(elsewhere ${PREFIX}/../elsewhere)
  file(REMOVE_RECURSE ${elsewhere})
  file(MAKE_DIRECTORY ${elsewhere})
  if(NOT EXISTS ${pack}/blow.job)
    fail("no installed content pack in ${pack}")
  endif()
  run_program(found ${elsewhere})
  if(NOT found_status EQUAL 1 OR NOT found_err MATCHES "cannot create window \\(no display"
     OR found_err MATCHES "is in none of")
    fail("from an empty folder the installed program should find ${pack} and stop only for the "
         "missing display; it exited with ${found_status}:\n${found_err}")
  endif()

  # The same with the installed pack moved away: the run above found it there and nowhere else.
  file(RENAME ${pack} ${pack}.away)
  run_program(missing ${elsewhere})
  file(RENAME ${pack}.away ${pack})
  get_filename_component(place ${pack} ABSOLUTE)
  string(FIND "${missing_err}" "  ${place}  (" listed)
  if(NOT missing_status EQUAL 1 OR NOT missing_err MATCHES "is in none of" OR listed EQUAL -1)
    fail("with the pack moved away the installed program should say it looked in ${place}; it "
         "exited with ${missing_status}:\n${missing_err}")
  endif()
else()
  fail("PART must be files or program")
endif()
