# Writes the section-1 manual pages of the programs from the user's guide, so that the two
# cannot say different things. Run as a script:
#   cmake -DGUIDE=docs/user-guide.md -DOUTPUT_DIR=DIR -DVERSION=1.0.0 -DDATE=YYYY-MM-DD
#         -P cmake/man_pages.cmake
#
# The guide marks the text of a page: "<!-- man NAME: WHAT IT DOES -->" opens it, "<!-- /man -->"
# closes it. Inside, the guide keeps to a small part of Markdown, which becomes roff:
#   "## ..."            the guide's chapter title, left out
#   "### Title"         .SH TITLE
#   "    text"          a literal block (.nf), for synopses and examples
#   "- `ARG`: text"     a tagged paragraph (.TP) naming an argument or option (or several:
#                       "- `-w` or `/w`: text")
#   "- text"            a bullet
#   "| a | b |"         a table (tbl), its first row the heads, a "|---|" row under them
#   anything else       a paragraph
# and inline `code` (bold, its "-" a minus sign), **bold** and *italic*, each within one line.
# Bold and italic begin and end only at a word's edge: a star inside a word (Plc_*.bin) or
# in code stands for itself, so that a file pattern keeps its stars. A paragraph's lines are joined and
# broken again before 80 bytes; an output line that would begin with a dot or an apostrophe,
# which roff reads as a request, begins with "\&".
#
# tests/docs/man_fixture.md holds every construct, tests/docs/Fixture.1 the page it gives.
cmake_minimum_required(VERSION 3.25)

# The guide's text is read as a CMake list of lines; the characters that mean something in a
# list stand in for themselves as control characters until the page is written.
string(ASCII 1 semicolon)
string(ASCII 2 open_bracket)
string(ASCII 3 close_bracket)
# A star of a code span, kept from being read as emphasis until the page is written.
string(ASCII 4 code_star)

# Turns `marker`text`marker` into text in `font` (B or I) where the markers stand at a word's
# edges: after the start, a blank, "(" or a quote; before the end, a blank or punctuation.
function(roff_emphasis text marker font out)
  set(pattern "(^|[ (\"])${marker}([^* ]|[^* ][^*]*[^* ])${marker}([ .,;:!?)\"]|$)")
  while(text MATCHES "${pattern}")
    set(span "${CMAKE_MATCH_0}")
    string(REPLACE "${span}" "${CMAKE_MATCH_1}\\f${font}${CMAKE_MATCH_2}\\fR${CMAKE_MATCH_3}"
      text "${text}")
  endwhile()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Lets every line of `text` that begins with a dot or an apostrophe be read as text.
function(roff_line_starts text out)
  string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" text "${text}")
  if(text MATCHES "^[.']")
    set(text "\\&${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(roff_inline text out)
  string(REPLACE "\\" "\\e" text "${text}")
  while(text MATCHES "`([^`]*)`")
    set(span "${CMAKE_MATCH_0}")
    string(REPLACE "-" "\\-" inner "${CMAKE_MATCH_1}")
    string(REPLACE "*" "${code_star}" inner "${inner}")
    string(REPLACE "${span}" "\\fB${inner}\\fR" text "${text}")
  endwhile()
  roff_emphasis("${text}" "\\*\\*" B text)
  roff_emphasis("${text}" "\\*" I text)
  string(REPLACE "${code_star}" "*" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Breaks a line of running text at blanks into lines of at most 79 bytes, which read better
# as source; the page looks the same.
function(roff_wrap text out)
  set(wrapped "")
  string(LENGTH "${text}" length)
  while(length GREATER 79)
    string(SUBSTRING "${text}" 0 80 head)
    string(FIND "${head}" " " blank REVERSE)
    if(blank LESS 1)
      break()
    endif()
    string(SUBSTRING "${text}" 0 ${blank} line)
    math(EXPR rest "${blank} + 1")
    string(SUBSTRING "${text}" ${rest} -1 text)
    string(APPEND wrapped "${line}\n")
    string(LENGTH "${text}" length)
  endwhile()
  set(${out} "${wrapped}${text}" PARENT_SCOPE)
endfunction()

function(roff_literal text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A table as tbl draws it: `rows` holds the Markdown rows ("|" between the cells), the heads
# first; the heads are set bold, every other cell as a text block that tbl fills and breaks.
function(roff_table rows out)
  set(text ".TS\n")
  set(first TRUE)
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\\|(.*)\\|$" "\\1" row "${row}")
    string(REPLACE "|" ";" cells "${row}")
    list(LENGTH cells columns)
    set(line "")
    foreach(cell IN LISTS cells)
      string(STRIP "${cell}" cell)
      roff_inline("${cell}" cell)
      roff_line_starts("${cell}" cell)
      if(first)
        list(APPEND line "${cell}")
      else()
        list(APPEND line "T{\n${cell}\nT}")
      endif()
    endforeach()
    if(first)
      # The format: bold heads, then every row left-aligned, the last column taking the rest
      # of the width.
      set(heads "")
      set(body "")
      foreach(column RANGE 1 ${columns})
        list(APPEND heads lB)
        list(APPEND body l)
      endforeach()
      list(POP_BACK body)
      list(JOIN heads " " heads)
      list(JOIN body " " body)
      string(APPEND text "${heads}\n${body} lx.\n")
      set(first FALSE)
    endif()
    list(JOIN line "\t" line)
    string(APPEND text "${line}\n")
  endforeach()
  set(${out} "${text}.TE\n" PARENT_SCOPE)
endfunction()

file(READ "${GUIDE}" guide)
string(REPLACE ";" "${semicolon}" guide "${guide}")
string(REPLACE "[" "${open_bracket}" guide "${guide}")
string(REPLACE "]" "${close_bracket}" guide "${guide}")
string(REPLACE "\n" ";" lines "${guide}")

set(pages "")
set(page "")
set(block "")     # the open block: paragraph, item, literal, or none
set(pending "")   # the text of an open paragraph or item
set(after_heading FALSE)

# Ends the open block of the current page: writes its collected text.
macro(close_block)
  if(block STREQUAL "paragraph" OR block STREQUAL "item")
    list(JOIN pending " " text)
    roff_inline("${text}" text)
    roff_wrap("${text}" text)
    roff_line_starts("${text}" text)
    string(APPEND body_${page} "${text}\n")
  elseif(block STREQUAL "literal")
    string(APPEND body_${page} ".fi\n.RE\n")
  elseif(block STREQUAL "table")
    roff_table("${pending}" text)
    string(APPEND body_${page} "${text}")
    set(tables_${page} TRUE)
  endif()
  set(block "")
  set(pending "")
endmacro()

foreach(line IN LISTS lines)
  if(line MATCHES "^<!-- man ([A-Za-z]+): (.*) -->$")
    set(page "${CMAKE_MATCH_1}")
    list(APPEND pages "${page}")
    set(what_${page} "${CMAKE_MATCH_2}")
    set(body_${page} "")
    set(tables_${page} FALSE)
    set(after_heading FALSE)
    continue()
  endif()
  if(page STREQUAL "")
    continue()
  endif()
  if(line STREQUAL "<!-- /man -->")
    close_block()
    set(page "")
    continue()
  endif()

  if(line STREQUAL "" OR line MATCHES "^## ")
    close_block()
  elseif(line MATCHES "^### (.*)$")
    close_block()
    string(TOUPPER "${CMAKE_MATCH_1}" title)
    string(APPEND body_${page} ".SH ${title}\n")
    set(after_heading TRUE)
  elseif(line MATCHES "^    (.*)$")
    roff_literal("${CMAKE_MATCH_1}" text)
    if(NOT block STREQUAL "literal")
      close_block()
      if(NOT after_heading)
        string(APPEND body_${page} ".PP\n")
      endif()
      string(APPEND body_${page} ".RS 4\n.nf\n")
      set(block "literal")
    endif()
    string(APPEND body_${page} "${text}\n")
    set(after_heading FALSE)
  elseif(line MATCHES "^\\|.*\\|$")
    if(NOT block STREQUAL "table")
      close_block()
      if(NOT after_heading)
        string(APPEND body_${page} ".PP\n")
      endif()
      set(block "table")
    endif()
    # The row of dashes under the heads only says that they are heads.
    if(NOT line MATCHES "^[|: -]+$")
      list(APPEND pending "${line}")
    endif()
    set(after_heading FALSE)
  elseif(line MATCHES "^- (`[^`]*`( or `[^`]*`)*): (.*)$")
    close_block()
    set(item "${CMAKE_MATCH_3}")
    roff_inline("${CMAKE_MATCH_1}" tag)
    roff_line_starts("${tag}" tag)
    string(APPEND body_${page} ".TP 8\n${tag}\n")
    set(block "item")
    set(pending "${item}")
    set(after_heading FALSE)
  elseif(line MATCHES "^- (.*)$")
    close_block()
    string(APPEND body_${page} ".IP \\(bu 2\n")
    set(block "item")
    set(pending "${CMAKE_MATCH_1}")
    set(after_heading FALSE)
  elseif(block STREQUAL "item" OR block STREQUAL "paragraph")
    string(STRIP "${line}" line)
    list(APPEND pending "${line}")
  else()
    close_block()
    if(NOT after_heading)
      string(APPEND body_${page} ".PP\n")
    endif()
    set(block "paragraph")
    set(pending "${line}")
    set(after_heading FALSE)
  endif()
endforeach()
if(NOT page STREQUAL "")
  message(FATAL_ERROR "${GUIDE}: the manual page ${page} is not closed with <!-- /man -->")
endif()

file(MAKE_DIRECTORY "${OUTPUT_DIR}")
foreach(page IN LISTS pages)
  string(TOUPPER "${page}" title)
  roff_inline("${what_${page}}" what)
  set(text "")
  if(tables_${page})
    # Tells man(1) to run the page through tbl.
    set(text "'\\\" t\n")
  endif()
  string(APPEND text
    ".TH ${title} 1 ${DATE} \"PlcPostLink ${VERSION}\" \"PLC post-link tool chain\"\n")
  # No hyphenation: program and file names stay whole.
  string(APPEND text ".nh\n.SH NAME\n${page} \\- ${what}\n${body_${page}}")
  string(REPLACE "${semicolon}" ";" text "${text}")
  string(REPLACE "${open_bracket}" "[" text "${text}")
  string(REPLACE "${close_bracket}" "]" text "${text}")
  file(WRITE "${OUTPUT_DIR}/${page}.1" "${text}")
endforeach()
