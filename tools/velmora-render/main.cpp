// velmora-render: runs one transition of the real TMorfFade off screen and
// writes what the screen shows after chosen steps (see --help).
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Bmp.h"
#include "OffscreenFade.h"
#include "Options.h"
#include "app/Random.h"
#include "fade/MorfFade.h"
#include "fade/PictureLoader.h"
#include "fade/PictureProbe.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameSet.h"

#ifdef _WIN32
#include "platform/PictureLoaderWin32.h"
#endif

namespace velmora::render {
namespace {

// A failure that ends the program with status 1 and a message.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Drives one run and captures the screen after the listed steps.
class Renderer {
 public:
  explicit Renderer(const Options& options) : options_(options) {
    wanted_.insert(options.at.begin(), options.at.end());
    fade_.SetStepInterval(0);
    fade_.SetBounds(0, 0, options.width, options.height);
    fade_.OnBegin = [this](TMorfFade&) {
      // The repaint the run's Reset asked for happens before the first
      // step: the screen shows the prepared from-image.
      FlushRepaint();
      begun_ = true;
      counting_ = true;
      steps_ = 0;
    };
    fade_.OnEnd = [this](TMorfFade&) { counting_ = false; };
    host_.onMessages = [this] {
      FlushRepaint();
      if (!counting_) return;
      ++steps_;
      Capture(steps_);
    };
  }

  TMorfFade& Fade() { return fade_; }

  // Calls run (which starts the component's run, or returns false when no
  // transition is started) and counts its steps; returns the count.
  int Run(const std::function<bool(TMorfFade&)>& run) {
    const Clock::time_point start = Clock::now();
    bool ran = false;
    try {
      ran = run(fade_);
    } catch (const std::exception& e) {
      throw RunError(std::string("the transition failed: ") + e.what());
    }
    counting_ = false;
    // A dissolve's last repaint (the remainder) handles no messages: it is
    // the step after the last counted one, and the screen shows it now.
    const TAction action = fade_.Action();
    if (ran && begun_ && (action == TAction::xDissolve || action == TAction::Discover)) {
      ++steps_;
      Capture(steps_);
    }
    if (!ran) steps_ = 0;
    elapsed_ = Clock::now() - start - captureTime_;
    return steps_;
  }

  double ElapsedMs() const { return Millis(elapsed_); }

  void WriteFinal() {
    if (options_.outDir.empty()) return;
    Write(fade_.FromImage(), "final.bmp");
  }

  // The steps listed in --at that the run never reached.
  std::vector<int> Missed() const {
    std::vector<int> missed;
    for (int k : wanted_)
      if (captured_.count(k) == 0) missed.push_back(k);
    return missed;
  }

 private:
  void FlushRepaint() {
    if (surface_.Invalid()) fade_.Paint();
  }

  void Capture(int step) {
    if (wanted_.count(step) == 0) return;
    const Clock::time_point start = Clock::now();
    Write(surface_.Screen(), "step-" + std::to_string(step) + ".bmp");
    captured_.insert(step);
    captureTime_ += Clock::now() - start;
  }

  void Write(const Image24& image, const std::string& name) {
    std::string error;
    const std::string path = (std::filesystem::path(options_.outDir) / name).string();
    if (!WriteBmp24(path, image, error)) throw RunError(error);
  }

  const Options& options_;
  MemoryImageFactory images_;
  OffscreenSurface surface_;
  RenderHost host_;
  TMorfFade fade_{images_, surface_, host_};
  std::set<int> wanted_;
  std::set<int> captured_;
  bool counting_ = false;
  bool begun_ = false;
  int steps_ = 0;
  Clock::duration captureTime_{};
  Clock::duration elapsed_{};
};

// LoadGraphic, with a plain word for the kinds only Windows decodes.
std::shared_ptr<const Graphic> LoadPicture(const std::string& path) {
  const std::string extension = PictureExtension(path);
  if (!IsPictureFileName(path) && IsSystemDecodedExtension(extension))
    throw EPictureError(path + ": " + extension +
                        " pictures are not available on this platform (they load on Windows)");
  return LoadGraphic(path);
}

std::shared_ptr<const Graphic> Load(const std::string& path) {
  try {
    return LoadPicture(path);
  } catch (const std::exception& e) {
    throw RunError(std::string("cannot load picture: ") + e.what());
  }
}

// Starts the run that matches the component's Action.
bool RunMatching(TMorfFade& fade) {
  switch (fade.Action()) {
    case TAction::xDissolve:
    case TAction::Discover: fade.Dissolve(); break;
    case TAction::xBlend: fade.Blend(); break;
    default: fade.Sweep(); break;
  }
  return true;
}

int RunExplicit(const Options& o, Renderer& renderer) {
  TMorfFade& fade = renderer.Fade();
  // Pictures are loaded first, so a bad file fails before anything runs.
  std::shared_ptr<const Graphic> from, to;
  if (!o.from.isColor) from = Load(o.from.path);
  if (!o.to.isColor) to = Load(o.to.path);
  // The owners' calling order.
  if (from) fade.SetPicFrom(from); else fade.SetColorFrom(o.from.color);
  if (to) fade.SetPicTo(to); else fade.SetColorTo(o.to.color);
  fade.SetProcessMsgs(true);
  fade.SetAction(TAction(o.action));
  fade.SetDirection(TDirection(o.direction));
  if (o.disolvRate) fade.SetDisolvRate(*o.disolvRate);
  if (o.blendRate) fade.SetBlendRate(*o.blendRate);
  if (o.dotSize) fade.SetDotSize(*o.dotSize);
  if (o.generalRate) fade.SetGeneralRate(*o.generalRate);
  if (o.steps) fade.SetSteps(*o.steps);
  if (o.stretchToFit) fade.SetStretchToFit(*o.stretchToFit);
  return renderer.Run(&RunMatching);
}

// Loads a frame's picture as the player does: a file that cannot be loaded
// shows black (with a warning here).
std::shared_ptr<const Graphic> LoadForShow(const FrameRecord& frame) {
  try {
    return LoadPicture(frame.Path());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmora-render: warning: %s; the frame shows black\n", e.what());
    return nullptr;
  }
}

int RunFrame(const Options& o, Renderer& renderer) {
  FrameList list;
  try {
    if (!ReadFrameSetFile(o.framePath, list)) throw RunError("no frame-set file " + o.framePath);
  } catch (const EInOutError& e) {
    throw RunError("cannot read " + o.framePath + ": " + e.what());
  }
  const int count = list.FrameCount();
  if (o.frameIndex > count)
    throw UsageError("--index " + std::to_string(o.frameIndex) + ": the show has " +
                     std::to_string(count) + " frame(s)");
  const FrameRecord& leaving = list[std::size_t(o.frameIndex)];
  const FrameRecord& arriving = list[std::size_t(o.frameIndex == count ? 1 : o.frameIndex + 1)];

  TMorfFade& fade = renderer.Fade();
  // A fresh player component: messages handled, ColorTo black.
  fade.SetProcessMsgs(true);
  fade.SetColorTo(kBlack);
  if (leaving.PureColour) {
    fade.SetPicFrom(nullptr);
    fade.SetColorFrom(leaving.Colour);
    fade.SetColorTo(leaving.Colour);
  } else if (!leaving.HasPath()) {
    fade.SetPicFrom(nullptr);
    fade.SetColorFrom(kBlack);
    fade.SetColorTo(kBlack);
  } else if (auto graphic = LoadForShow(leaving)) {
    fade.SetPicFrom(graphic);
  } else {
    fade.SetPicFrom(nullptr);
    fade.SetColorFrom(kBlack);
    fade.SetColorTo(kBlack);
  }
  if (arriving.PureColour) {
    fade.SetColorTo(arriving.Colour);
    fade.SetPicTo(nullptr);
  } else if (auto graphic = arriving.HasPath() ? LoadForShow(arriving) : nullptr) {
    fade.SetPicTo(graphic);
  } else {
    fade.SetColorTo(kBlack);
    fade.SetPicTo(nullptr);
  }

  std::fprintf(stderr, "velmora-render: frame %d (effect %d) to frame %d\n", o.frameIndex,
               int(leaving.Effect), o.frameIndex == count ? 1 : o.frameIndex + 1);
  // The catalogue sets Action, Direction and the amounts and starts the run.
  bool ran = false;
  const int steps = renderer.Run([&leaving, &ran](TMorfFade& f) {
    ran = ApplyFrameEffect(leaving, f);
    return ran;
  });
  if (!ran) {
    // No transition: the player puts the "to" side on at once.
    if (fade.PicTo().HasGraphic()) {
      fade.SetPicFrom(fade.PicTo());
    } else {
      fade.SetPicFrom(nullptr);
      fade.SetColorFrom(fade.ColorTo());
    }
    std::fprintf(stderr, "velmora-render: effect none: no transition\n");
  } else {
    std::fprintf(stderr, "velmora-render: played %s %s\n", ActionValueNames[int(fade.Action())],
                 DirectionValueNames[int(fade.Direction())]);
  }
  return steps;
}

}  // namespace
}  // namespace velmora::render

int main(int argc, char** argv) {
  using namespace velmora;
  using namespace velmora::render;
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "velmora-render: %s\n(velmora-render --help shows the usage)\n", e.what());
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
#ifdef _WIN32
  InstallWin32Graphics();  // .emf, .wmf, .ico and the imaging component's kinds; system colours
#endif
  try {
    if (!options.outDir.empty()) {
      std::error_code ec;
      std::filesystem::create_directories(options.outDir, ec);
      if (ec || !std::filesystem::is_directory(options.outDir))
        throw RunError("cannot make the output directory " + options.outDir +
                       (ec ? ": " + ec.message() : std::string()));
    }
    if (options.seed) {
      SetFixedRandomizeSeed(*options.seed);
      SetRandSeed(*options.seed);
    } else {
      Randomize();
    }
    Renderer renderer(options);
    const int steps = options.FrameMode() ? RunFrame(options, renderer) : RunExplicit(options, renderer);
    renderer.WriteFinal();
    const double total = renderer.ElapsedMs();
    std::printf("steps=%d ms_total=%.3f ms_per_step=%.3f\n", steps, total,
                steps > 0 ? total / steps : 0.0);
    const std::vector<int> missed = renderer.Missed();
    if (!missed.empty()) {
      std::string list;
      for (int k : missed) list += (list.empty() ? "" : ",") + std::to_string(k);
      std::fprintf(stderr, "velmora-render: step(s) %s not reached: the run had %d step(s)\n",
                   list.c_str(), steps);
      return 1;
    }
    return 0;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "velmora-render: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmora-render: %s\n", e.what());
    return 1;
  }
}
