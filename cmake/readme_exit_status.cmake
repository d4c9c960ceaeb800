# A program's exit statuses have one home, the README's table under
# "Exit status of `PROGRAM`"; the manual page and the Windows README.txt are
# made from it.

# OUT: the README's lines from that introduction up to the next heading.
function(readme_exit_status readme program out)
  file(STRINGS "${readme}" lines ENCODING UTF-8)
  set(found "")
  set(inside FALSE)
  foreach(line IN LISTS lines)
    if(NOT inside)
      if(NOT line MATCHES "^Exit status of `${program}`")
        continue()
      endif()
      set(inside TRUE)
    elseif(line MATCHES "^#")
      break()
    endif()
    string(REPLACE ";" "\\;" line "${line}")  # a line is one item
    list(APPEND found "${line}")
  endforeach()
  if(NOT inside)
    message(FATAL_ERROR "${readme} has no \"Exit status of `${program}`\" paragraph")
  endif()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Whether a README line is the status table's header or rule; else, for a
# row, sets STATUS and MEANING in the caller.
function(exit_status_row line is_row)
  set(${is_row} FALSE PARENT_SCOPE)
  if(line MATCHES "^\\|[- |]*\\|$" OR line MATCHES "^\\| *status *\\|")
    set(${is_row} HEADER PARENT_SCOPE)
  elseif(line MATCHES "^\\| *([^|]*[^ |]) *\\| *(.*[^ |]) *\\|$")
    set(${is_row} TRUE PARENT_SCOPE)
    set(STATUS "${CMAKE_MATCH_1}" PARENT_SCOPE)
    set(MEANING "${CMAKE_MATCH_2}" PARENT_SCOPE)
  endif()
endfunction()
