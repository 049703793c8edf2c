#include "display/CoreDsif.h"

CoreDsif::CoreDsif(CorePrcs* engine, CoreDevq* events, CoreBlnk* blink, CoreSkin* skin, void* instance)
    : engine_(engine), events_(events), blink_(blink), skin_(skin), instance_(instance) {}

CoreDsif::~CoreDsif() = default;

void CoreDsif::layoutImage(std::vector<double>& image) const { image.assign(kImageCells, 0.0); }

void CoreDsif::refreshImage(std::vector<double>& image) {
  if (image.size() != static_cast<size_t>(kImageCells)) layoutImage(image);
}

void CoreDsif::selectControl(int32_t index) { selectedControl_ = index; }

void CoreDsif::actOnRecord(const std::array<uint8_t, 52>&) {}

void CoreDsif::requestLoad(int32_t location) { requestedLocation_ = location; }
