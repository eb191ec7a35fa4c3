// A container for the control without any window: its own surface is a pixel buffer of the
// control's size. The gallery, the benchmark and the tests host the control in it.
#pragma once

#include <memory>
#include <new>

#include "progress_bar.h"
#include "software_surface.h"

namespace gaugekit {

class SoftwareSite : public ControlSite {
  public:
    static constexpr std::intptr_t kWindow = 1;

    explicit SoftwareSite(Size size, int fontScale = 1)
        : size_(size), fontScale_(fontScale), own_(size.width, size.height) {}

    // The control resized: a new own surface of the new size (the container's part of a resize).
    void resize(Size size) {
        size_ = size;
        own_ = SoftwareSurface(size.width, size.height);
    }
    SoftwareSurface& surface() { return own_; }

    RasterSurface& ownSurface() override { return own_; }
    std::intptr_t ownWindow() override { return kWindow; }
    Size clientSize(std::intptr_t window) override { return window == kWindow ? size_ : Size{}; }
    Size controlSize() override { return size_; }
    std::unique_ptr<RasterSurface> createOffscreenSurface(Size size) override {
        try {
            return std::make_unique<SoftwareSurface>(size.width, size.height);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    FontRef newStandardFont() override { return std::make_shared<SoftwareFont>(fontScale_); }
    void propertyChanged(std::string_view) override {}

  private:
    Size size_;
    int fontScale_;
    SoftwareSurface own_;
};

}  // namespace gaugekit
