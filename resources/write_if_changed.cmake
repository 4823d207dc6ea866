# write_if_changed(PATH CONTENT): writes CONTENT to PATH unless it holds that already,
# so that a generated source left as it was does not rebuild what includes it.
function(write_if_changed path content)
  set(old "")
  if(EXISTS "${path}")
    file(READ "${path}" old)
  endif()
  if(NOT old STREQUAL content)
    file(WRITE "${path}" "${content}")
  endif()
endfunction()
