# Joins the library's export lists (one name a line, '#' comments) into the list the
# exported-name test reads and the linker's version script.
#   cmake -DFILES="a,b,..." -DNAMES=out.txt -DMAP=out.map -P export_list.cmake
string(REPLACE "," ";" FILES "${FILES}")
set(names "")
foreach(file IN LISTS FILES)
  file(STRINGS ${file} lines)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line AND NOT line MATCHES "^#")
      list(APPEND names ${line})
    endif()
  endforeach()
endforeach()
list(JOIN names "\n" text)
file(WRITE ${NAMES}.tmp "${text}\n")
list(JOIN names ";\n    " body)
file(WRITE ${MAP}.tmp "{\n  global:\n    ${body};\n  local: *;\n};\n")
# Rewritten only when changed, so that an unchanged list relinks nothing.
file(COPY_FILE ${NAMES}.tmp ${NAMES} ONLY_IF_DIFFERENT)
file(COPY_FILE ${MAP}.tmp ${MAP} ONLY_IF_DIFFERENT)
