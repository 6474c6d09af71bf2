#include "render/instrument.h"

#include "render/lv2_instrument.h"
#include "render/vst2_instrument.h"

namespace quillo::render {

// A folder or a URI is an LV2 plug-in; anything else a VST 2 library.
std::unique_ptr<InstrumentLibrary> InstrumentLibrary::open(const std::string& path) {
    if (hosting::Lv2Library::looksLikeLv2(path)) return openLv2Library(path);
    return openVst2Library(path);
}

} // namespace quillo::render
