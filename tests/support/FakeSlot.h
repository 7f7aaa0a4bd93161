// A slot of the saver window for tests: some number of transition
// components on one fake surface, as many as monitors the show plays on.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "fade/FadeHost.h"
#include "fade/Graphics.h"
#include "fade/MorfFade.h"
#include "saver/Player.h"

namespace velmora::testing {

class ComponentsSlot : public FadeSlot {
 public:
  ComponentsSlot(std::size_t count, ImageFactory& images, FadeSurface& surface, FadeHost& host) {
    for (std::size_t i = 0; i < count; ++i) fades_.push_back(std::make_unique<TMorfFade>(images, surface, host));
  }
  TMorfFade& Fade() override { return *fades_.front(); }
  std::size_t FadeCount() const override { return fades_.size(); }
  TMorfFade& FadeAt(std::size_t index) override { return *fades_.at(index); }
  void SendToBack() override {}
  void Hide() override {
    for (auto& fade : fades_) fade->SetVisible(false);
  }

 private:
  std::vector<std::unique_ptr<TMorfFade>> fades_;
};

}  // namespace velmora::testing
