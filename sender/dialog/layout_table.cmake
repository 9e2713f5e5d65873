# Writes a dialog template of the resource script as the layout table the GTK host builds its window from.
#
# Included, it defines layout_table(OUTPUT RC TEMPLATE NAMESPACE), a build step that reruns
# whenever the script changes. Run with cmake -P and -DRC= -DTEMPLATE= -DNAMESPACE= -DOUTPUT=,
# it writes the table: kDialogWidth ... kDialogInitialCaption, kMainDialogControls and
# kMainDialogControlCount, defined in NAMESPACE with the names and types of layout.h.
#
# The script is read as the resource compiler reads it, statement for statement: each control
# statement gets the class and the style bits the compiler gives it, and an explicit style adds
# to those defaults, as it does there. Anything else in the template fails the build, so that a
# control added to the script can never be silently missing from the Linux window.

if(NOT CMAKE_SCRIPT_MODE_FILE)
  # A step of the build rather than of the configuration, so that it also works on a script
  # that is itself produced by the build.
  function(layout_table output rc template namespace)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DRC=${rc} -DTEMPLATE=${template} -DNAMESPACE=${namespace}
              -DOUTPUT=${output} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
      DEPENDS ${rc} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
      COMMENT "Generating the layout table of template ${template} of ${rc}"
      VERBATIM)
  endfunction()
  return()
endif()

cmake_minimum_required(VERSION 3.20)
foreach(parameter RC TEMPLATE NAMESPACE OUTPUT)
  if(NOT DEFINED ${parameter})
    message(FATAL_ERROR "layout_table.cmake needs -D${parameter}=")
  endif()
endforeach()
if(NOT TEMPLATE MATCHES "^[0-9]+$")
  message(FATAL_ERROR "layout_table.cmake: TEMPLATE is the template's number, not ${TEMPLATE}")
endif()

# Style names of the script and the constants of layout.h that carry them. A name the table has
# no constant for is refused rather than dropped: the GTK host could not honour it.
set(style_WS_TABSTOP kWsTabStop)
set(style_WS_GROUP kWsGroup)
set(style_WS_BORDER kWsBorder)
set(style_ES_AUTOHSCROLL kEsAutoHScroll)
set(style_ES_NUMBER kEsNumber)
set(style_BS_PUSHBUTTON kBsPushButton)
set(style_BS_DEFPUSHBUTTON kBsDefPushButton)
set(style_BS_GROUPBOX kBsGroupBox)
set(style_BS_BITMAP kBsBitmap)
set(style_SS_LEFT kSsLeft)
set(style_SS_ICON kSsIcon)
set(style_SS_CENTERIMAGE kSsCenterImage)

# Window class names (compared without case, as Windows does) and their constants.
set(class_EDIT kClassEdit)
set(class_BUTTON kClassButton)
set(class_STATIC kClassStatic)
set(class_SYSIPADDRESS32 kClassIpAddress)

# Each statement: its class, whether its first argument is a text (or, for ICON, the image), and
# the resource compiler's default style. WS_CHILD | WS_VISIBLE, which every control gets, is
# not in the table. CONTROL names its class and gives its whole style itself.
set(statement_EDITTEXT EDIT none "WS_BORDER|WS_TABSTOP")
set(statement_PUSHBUTTON BUTTON text "BS_PUSHBUTTON|WS_TABSTOP")
set(statement_DEFPUSHBUTTON BUTTON text "BS_DEFPUSHBUTTON|WS_TABSTOP")
set(statement_LTEXT STATIC text "SS_LEFT|WS_GROUP")
set(statement_GROUPBOX BUTTON text "BS_GROUPBOX")
set(statement_ICON STATIC image "SS_ICON")
set(statement_CONTROL "" text "")

# Semicolons would split CMake lists; texts keep theirs under this stand-in until written out.
string(ASCII 1 semicolon)

# Stops the build, naming the line and the statement; the arguments make one message.
function(refuse)
  string(JOIN "" what ${ARGV})
  string(REPLACE "${semicolon}" ";" statement "${statement}")
  string(STRIP "${statement}" statement)
  string(REPLACE "\n" "\n   " statement "${statement}")
  message(FATAL_ERROR "Template ${TEMPLATE} of ${RC} cannot be made into a layout table:\n"
                      " ${RC}:${statement_line}: ${what}\n   ${statement}")
endfunction()

# Splits a statement into words, quoted texts (quotes kept) and the separators "," and "|";
# a "//" outside a text ends it.
function(tokenize text out)
  set(tokens "")
  set(rest "${text}")
  while(TRUE)
    string(REGEX REPLACE "^[ \t]+" "" rest "${rest}")
    if(rest STREQUAL "" OR rest MATCHES "^//")
      break()
    endif()
    if(NOT rest MATCHES "^(\"([^\"]|\"\")*\"|[,|]|[^ \t,|\"/]+)")
      refuse("cannot read \"${rest}\"")
    endif()
    list(APPEND tokens "${CMAKE_MATCH_1}")
    string(LENGTH "${CMAKE_MATCH_1}" length)
    string(SUBSTRING "${rest}" ${length} -1 rest)
  endwhile()
  set(${out} "${tokens}" PARENT_SCOPE)
endfunction()

# The statement's arguments, each the tokens between two commas joined by blanks.
function(arguments tokens out)
  set(args "")
  set(current "")
  foreach(token IN LISTS tokens)
    if(token STREQUAL ",")
      list(APPEND args "${current}")
      set(current "")
    elseif(current STREQUAL "")
      set(current "${token}")
    else()
      set(current "${current} ${token}")
    endif()
  endforeach()
  list(APPEND args "${current}")
  set(${out} "${args}" PARENT_SCOPE)
endfunction()

function(number arg out)
  if(NOT arg MATCHES "^-?[0-9]+$|^0[xX][0-9a-fA-F]+$")
    refuse("\"${arg}\" is not a number")
  endif()
  math(EXPR value "${arg}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# A quoted text as a C++ string literal; nullptr for an empty one, so that the GTK host makes
# the image-only help button a button without a label.
function(text_literal arg out)
  if(NOT arg MATCHES "^\"(.*)\"$")
    refuse("${arg} is not a quoted text")
  endif()
  set(text "${CMAKE_MATCH_1}")
  if(text STREQUAL "")
    set(${out} nullptr PARENT_SCOPE)
    return()
  endif()
  # The escapes the script and C++ share pass as they stand; others would change meaning.
  string(REGEX MATCHALL "\\\\.?" escapes "${text}")
  foreach(escape IN LISTS escapes)
    if(NOT escape MATCHES "^\\\\[nt\\\\]$")
      refuse("the escape ${escape} in ${arg} is not one the table takes over (\\n, \\t, \\\\)")
    endif()
  endforeach()
  string(REPLACE "\"\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# A style expression ("A | B | 0x80") as the constants of layout.h, after the given defaults.
function(style_expression defaults arg out)
  string(REPLACE "|" ";" terms "${defaults}|${arg}")
  set(names "")
  foreach(term IN LISTS terms)
    string(STRIP "${term}" term)
    if(term STREQUAL "")
      continue()
    elseif(DEFINED style_${term})
      set(name ${style_${term}})
    elseif(term MATCHES "^0[xX][0-9a-fA-F]+$|^[0-9]+$")
      set(name "${term}u")
    else()
      refuse("the style ${term} has no constant in layout.h")
    endif()
    list(APPEND names ${name})
  endforeach()
  list(REMOVE_DUPLICATES names)
  list(JOIN names " | " expression)
  set(${out} "${expression}" PARENT_SCOPE)
endfunction()

function(class_constant arg out)
  string(REGEX REPLACE "^\"(.*)\"$" "\\1" class "${arg}")
  string(TOUPPER "${class}" key)
  if(NOT DEFINED class_${key})
    refuse("the class ${arg} has no constant in layout.h")
  endif()
  set(${out} ${class_${key}} PARENT_SCOPE)
endfunction()

# One control statement as an initialiser of the table, appended to `rows`.
function(control_row tokens)
  list(POP_FRONT tokens keyword)
  if(NOT DEFINED statement_${keyword})
    refuse("unknown statement ${keyword} (the table knows EDITTEXT, CONTROL, PUSHBUTTON, "
           "DEFPUSHBUTTON, LTEXT, GROUPBOX, ICON)")
  endif()
  list(GET statement_${keyword} 0 class)
  list(GET statement_${keyword} 1 first)
  list(GET statement_${keyword} 2 defaults)
  arguments("${tokens}" args)
  list(LENGTH args count)
  set(text nullptr)
  set(image 0)
  if(keyword STREQUAL "CONTROL")
    # text, id, class, style, x, y, width, height
    if(NOT count EQUAL 8)
      refuse("CONTROL takes a text, id, class, style and position (8 arguments), not ${count}")
    endif()
    list(POP_FRONT args text_arg id_arg class_arg style_arg)
    text_literal("${text_arg}" text)
    class_constant("${class_arg}" class)
  else()
    # [text or image,] id, x, y, width, height [, style]
    set(fixed 5)
    if(NOT first STREQUAL "none")
      set(fixed 6)
      list(POP_FRONT args first_arg)
      if(first STREQUAL "text")
        text_literal("${first_arg}" text)
      else()
        number("${first_arg}" image)
      endif()
    endif()
    math(EXPR with_style "${fixed} + 1")
    if(count LESS fixed OR count GREATER with_style)
      refuse("${keyword} takes ${fixed} arguments and an optional style, not ${count}")
    endif()
    list(POP_FRONT args id_arg)
    set(style_arg "")
    if(count EQUAL with_style)
      list(POP_BACK args style_arg)
    endif()
    set(class ${class_${class}})
  endif()
  style_expression("${defaults}" "${style_arg}" style)
  number("${id_arg}" id)
  set(position "")
  foreach(arg IN LISTS args)
    number("${arg}" value)
    list(APPEND position ${value})
  endforeach()
  list(JOIN position ", " position)
  set(rows "${rows}    {${id}, ${class}, ${text}, ${image}, ${style}, ${position}},  // ${keyword}\n"
      PARENT_SCOPE)
endfunction()

# The template's header statements before BEGIN: the frame's caption and font. The frame's own
# style (popup, caption, system menu) is the window manager's business under GTK.
function(header_statement tokens)
  list(POP_FRONT tokens keyword)
  arguments("${tokens}" args)
  list(LENGTH args count)
  if(keyword STREQUAL "STYLE")
  elseif(keyword STREQUAL "CAPTION" AND count EQUAL 1)
    text_literal("${args}" caption)
    if(caption STREQUAL "nullptr")
      set(caption "\"\"")
    endif()
    set(caption "${caption}" PARENT_SCOPE)
  elseif(keyword STREQUAL "FONT" AND count EQUAL 2)
    list(GET args 0 points)
    list(GET args 1 face)
    number("${points}" points)
    text_literal("${face}" face)
    if(face STREQUAL "nullptr")
      refuse("FONT needs a face")
    endif()
    set(font_points ${points} PARENT_SCOPE)
    set(font_face "${face}" PARENT_SCOPE)
  else()
    refuse("unknown header statement (the table takes STYLE, CAPTION \"text\" and FONT points, \"face\")")
  endif()
endfunction()

file(READ "${RC}" script)
string(REPLACE "\r" "" script "${script}")
string(REPLACE ";" "${semicolon}" script "${script}")
# The blank keeps empty lines in the list, so that line numbers stay right.
string(REPLACE "\n" " ;" lines "${script}")

set(state outside)  # outside, header, body, done
set(line_number 0)
set(statement "")
set(rows "")
set(count 0)
set(caption "\"\"")
set(font_face "")
foreach(line IN LISTS lines)
  math(EXPR line_number "${line_number} + 1")
  if(state STREQUAL "outside")
    if(line MATCHES "^[ \t]*${TEMPLATE}[ \t]+DIALOGEX([ \t]|$)")
      set(statement "${line}")
      set(statement_line ${line_number})
      tokenize("${line}" tokens)
      list(REMOVE_AT tokens 0 1)
      arguments("${tokens}" args)
      list(LENGTH args arg_count)
      if(NOT arg_count EQUAL 4)
        refuse("DIALOGEX takes x, y, width, height")
      endif()
      list(GET args 2 width)
      list(GET args 3 height)
      number("${width}" width)
      number("${height}" height)
      set(state header)
      set(statement "")
    endif()
    continue()
  endif()
  # A statement goes on over the next line after a trailing "," or "|".
  if(statement STREQUAL "")
    set(statement_line ${line_number})
    set(statement "${line}")
  else()
    set(statement "${statement}\n${line}")
  endif()
  tokenize("${statement}" tokens)
  if(tokens STREQUAL "")
    set(statement "")
    continue()
  endif()
  list(GET tokens -1 last)
  if(last STREQUAL "," OR last STREQUAL "|")
    continue()
  endif()
  list(GET tokens 0 keyword)
  list(LENGTH tokens token_count)
  if(state STREQUAL "header")
    if(keyword STREQUAL "BEGIN" AND token_count EQUAL 1)
      set(state body)
    else()
      header_statement("${tokens}")
    endif()
  elseif(keyword STREQUAL "END" AND token_count EQUAL 1)
    set(state done)
    break()
  else()
    control_row("${tokens}")
    math(EXPR count "${count} + 1")
  endif()
  set(statement "")
endforeach()
if(state STREQUAL "outside")
  message(FATAL_ERROR "${RC} has no template ${TEMPLATE} DIALOGEX")
elseif(NOT state STREQUAL "done")
  message(FATAL_ERROR "Template ${TEMPLATE} of ${RC} has no END")
elseif(font_face STREQUAL "")
  message(FATAL_ERROR "Template ${TEMPLATE} of ${RC} has no FONT, which its dialog units are measured in")
endif()

if(NAMESPACE STREQUAL "dialog")
  set(using "")
else()
  set(using "using namespace dialog;\n\n")
endif()
get_filename_component(rc_name "${RC}" NAME)
# `extern` gives the constants external linkage also where no declaration of layout.h is in scope.
set(content "// Generated from template ${TEMPLATE} of ${rc_name} by sender/dialog/layout_table.cmake; do not edit.
#include \"sender/dialog/layout.h\"

namespace ${NAMESPACE} {

${using}extern const int kDialogWidth = ${width};
extern const int kDialogHeight = ${height};
extern const char kDialogFontFace[] = ${font_face};
extern const int kDialogFontPoints = ${font_points};
extern const char kDialogInitialCaption[] = ${caption};

extern const LayoutControl kMainDialogControls[] = {
${rows}};
extern const int kMainDialogControlCount = ${count};

}  // namespace ${NAMESPACE}
")
string(REPLACE "${semicolon}" ";" content "${content}")
file(WRITE "${OUTPUT}" "${content}")
