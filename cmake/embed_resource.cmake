# Writes the bytes of a compiled resource file (.res) as a C++ array, so that
# the simulated platform makes its dialogs from exactly what the Windows
# resource compiler produced.
#   cmake -DINPUT=setup.res -DOUTPUT=setup_res.cpp -P embed_resource.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from res/setup.rc at build time; do not edit.
#include <cstddef>

namespace sim::internal {
extern const unsigned char kProgramResourceBytes[] = {
    ${bytes}
};
extern const size_t kProgramResourceSize = ${size};
}  // namespace sim::internal
")
# Only a real change rewrites the file, so that nothing rebuilds needlessly.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
