#include "display/CoreDsif.h"

CoreDsif::CoreDsif(CorePrcs* engine, CoreDevq* events, CoreBlnk* blink, CoreSkin* skin, void* instance)
    : engine_(engine), events_(events), blink_(blink), skin_(skin), instance_(instance) {}

CoreDsif::~CoreDsif() = default;

void CoreDsif::layoutImage(std::vector<double>& image) const { image.assign(kImageCells, 0.0); }
