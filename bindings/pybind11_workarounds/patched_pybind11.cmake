# pybind11's dispatcher looks up the C++ part of `self` for a constructor before it enters its
# try block, with a lookup that throws when the type is not a C++ base of the instance. Reached by
# Graph.__init__(weighted_graph, ...), or by a Python subclass of WeightedGraph that calls
# Graph.__init__, the exception leaves a function called from C and terminates the interpreter.
# The dispatcher runs before any code of ours, so no binding can intercept it; instead the build
# compiles against a copy of pybind11's headers in which that one lookup does not throw and the
# call raises TypeError. The copy lives in the build tree; the installed pybind11 is not touched.

set(_veltrix_pybind11_throwing
  "self_value_and_holder = pi->get_value_and_holder(tinfo, true);")
set(_veltrix_pybind11_checked
  "self_value_and_holder = pi->get_value_and_holder(tinfo, false);
            if (!self_value_and_holder.inst) {
                set_error(PyExc_TypeError,
                          (get_fully_qualified_tp_name(tinfo->type)
                           + \".__init__() cannot initialise an instance of \"
                           + get_fully_qualified_tp_name(Py_TYPE(parent.ptr())))
                              .c_str());
                return nullptr;
            }")

# Copies pybind11's headers into the build tree with the dispatcher's lookup replaced, and puts the
# copy ahead of the original on `target`'s include path. Fails the configure if the text to
# replace is not found exactly once, so a pybind11 release that moves it cannot build unpatched.
function(veltrix_use_patched_pybind11 target)
  set(copy "${CMAKE_BINARY_DIR}/patched-pybind11/include")
  set(header "${pybind11_INCLUDE_DIR}/pybind11/pybind11.h")
  file(READ "${header}" text)
  string(FIND "${text}" "${_veltrix_pybind11_throwing}" first)
  string(FIND "${text}" "${_veltrix_pybind11_throwing}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR
      "pybind11 ${pybind11_VERSION}: the constructor lookup to patch was not found exactly once in "
      "${header}. Review bindings/pybind11_workarounds/patched_pybind11.cmake for this pybind11 release.")
  endif()
  string(REPLACE "${_veltrix_pybind11_throwing}" "${_veltrix_pybind11_checked}" text "${text}")
  file(COPY "${pybind11_INCLUDE_DIR}/pybind11" DESTINATION "${copy}" PATTERN "pybind11.h" EXCLUDE)
  # Written only when it differs, so a reconfigure does not force a rebuild.
  set(patched "${copy}/pybind11/pybind11.h")
  set(old "")
  if(EXISTS "${patched}")
    file(READ "${patched}" old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE "${patched}" "${text}")
  endif()
  target_include_directories(${target} SYSTEM BEFORE PRIVATE "${copy}")
endfunction()
