// Starts the real GUI program on a virtual X display (Xvfb), captures its window
// after a few frames and checks pixels that only a rendered header, accent colour
// and Main tab produce. The Linux program runs natively; the Windows program runs
// under Wine on the same display when its build exists. Screenshots are kept in
// build/<preset>/screenshots/ for people to look at.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "testing/support/child_process.h"
#include "testing/support/temp_folder.h"

// Xlib last: its macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::TempFolder;
using Clock = std::chrono::steady_clock;

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  unsigned at(int x, int y) const {
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return (p[0] << 16) | (p[1] << 8) | p[2];
  }
  // Pixels of `colour` (within 2 per channel, for rounding in the renderers) in rows [top, bottom).
  int count(unsigned colour, int top, int bottom) const {
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
      for (int x = 0; x < width; ++x) {
        const unsigned c = at(x, y);
        if (std::abs(int(c >> 16) - int(colour >> 16)) <= 2 &&
            std::abs(int((c >> 8) & 255) - int((colour >> 8) & 255)) <= 2 &&
            std::abs(int(c & 255) - int(colour & 255)) <= 2)
          ++n;
      }
    return n;
  }
};

constexpr unsigned kHeaderBg = 0x0C1015, kAccent = 0xe98725, kGood = 0x34d399, kBad = 0xEF4444, kCard = 0x1b212d,
                   kTabIdle = 0x1E293B;

// A virtual display for one test, closed with it.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    server_ = std::make_unique<ChildProcess>(
        "/usr/bin/Xvfb",
        std::vector<std::string>{"-displayfd", "1", "-screen", "0", "1400x1100x24", "-nolisten", "tcp"},
        std::map<std::string, std::string>{}, "");
    if (!server_->started() || !server_->waitForOutput("\n", 10s)) return;
    name_ = ":" + server_->output().substr(0, server_->output().find('\n'));
    display_ = XOpenDisplay(name_.c_str());
  }
  ~VirtualDisplay() {
    if (display_) XCloseDisplay(display_);
    if (server_) {
      server_->signal(SIGTERM);
      server_->waitForExit(5s);
    }
  }
  Display* display() const { return display_; }
  const std::string& name() const { return name_; }

  // The viewable top-level window titled `title` (0 when none).
  Window find(const std::string& title) { return findBelow(DefaultRootWindow(display_), title); }

  // Moves the pointer to (x, y) in `window` and clicks the left button there.
  void click(Window window, int x, int y) {
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display_, -1, rootX, rootY, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(150ms);
    XTestFakeButtonEvent(display_, 1, True, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(150ms);
    XTestFakeButtonEvent(display_, 1, False, 0);
    XSync(display_, False);
  }

  Image capture(Window window) {
    Image image;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes)) return image;
    XImage* x = XGetImage(display_, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!x) return image;
    image.width = attributes.width;
    image.height = attributes.height;
    image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
    for (int y = 0; y < image.height; ++y)
      for (int xx = 0; xx < image.width; ++xx) {
        const unsigned long pixel = XGetPixel(x, xx, y);
        unsigned char* p = &image.rgb[(static_cast<size_t>(y) * image.width + xx) * 3];
        p[0] = (pixel >> 16) & 255;
        p[1] = (pixel >> 8) & 255;
        p[2] = pixel & 255;
      }
    XDestroyImage(x);
    return image;
  }

 private:
  Window findBelow(Window parent, const std::string& title) {
    Window root, parentOut, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, parent, &root, &parentOut, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      XWindowAttributes attributes;
      if (XFetchName(display_, children[i], &name) && name && title == name &&
          XGetWindowAttributes(display_, children[i], &attributes) && attributes.map_state == IsViewable)
        found = children[i];
      if (name) XFree(name);
      if (!found) found = findBelow(children[i], title);
    }
    if (children) XFree(children);
    return found;
  }

  std::unique_ptr<ChildProcess> server_;
  std::string name_;
  Display* display_ = nullptr;
};

// The first row of the header band: mostly in the header colour (under Wine the
// window also has a caption above it); -1 when there is none.
int headerTopOf(const Image& image) {
  for (int y = 0; y < image.height / 2; ++y)
    if (image.count(kHeaderBg, y, y + 1) > image.width * 6 / 10) return y;
  return -1;
}

bool near(unsigned c, unsigned colour) {
  return std::abs(int(c >> 16) - int(colour >> 16)) <= 2 &&
         std::abs(int((c >> 8) & 255) - int((colour >> 8) & 255)) <= 2 &&
         std::abs(int(c & 255) - int(colour & 255)) <= 2;
}

// What a rendered first frame must show; empty when it does, else what is missing.
std::string checkRendered(const Image& image) {
  if (image.width < 600 || image.height < 400) return "window too small";
  const int headerTop = headerTopOf(image);
  if (headerTop < 0) return "no header band";
  const int headerBottom = headerTop + 52;
  std::string missing;
  if (image.count(kAccent, headerTop, headerBottom) < 300) missing += " accent tab button;";
  if (image.count(kGood, headerTop, headerBottom) + image.count(kBad, headerTop, headerBottom) < 1500)
    missing += " START/STOP button;";
  if (image.count(kCard, headerBottom, headerBottom + 600) < 40000) missing += " Main tab cards;";
  if (image.count(kAccent, headerBottom, headerBottom + 600) < 2000) missing += " Main tab sliders;";
  return missing;
}

// The header's tab buttons, left to right, as (first x, last x, active), read on
// a row just inside their top edge where no text is drawn.
struct TabButton {
  int left, right;
  bool active;
};
std::vector<TabButton> tabButtons(const Image& image, int headerTop) {
  std::vector<TabButton> buttons;
  const int y = headerTop + 16;
  int x = 230;
  while (x < image.width - 140) {
    const unsigned c = image.at(x, y);
    const bool accent = near(c, kAccent);
    if (!near(c, kTabIdle) && !accent) {
      ++x;
      continue;
    }
    const int left = x;
    while (x < image.width && near(image.at(x, y), c)) ++x;
    if (x - left >= 20) buttons.push_back({left, x - 1, accent});
  }
  return buttons;
}

// What a tab must show once chosen: its button lit and its cards (or, for the
// log, the log box) drawn over most of the content area.
std::string checkTab(const Image& image, size_t index, unsigned fill) {
  const int top = headerTopOf(image);
  if (top < 0) return "no header band";
  const std::vector<TabButton> buttons = tabButtons(image, top);
  if (buttons.size() < index + 1) return "only " + std::to_string(buttons.size()) + " tab buttons";
  for (size_t i = 0; i < buttons.size(); ++i)
    if (buttons[i].active != (i == index)) return "tab button " + std::to_string(i) + " lit wrongly";
  const int filled = image.count(fill, top + 56, image.height - 90);
  if (filled < 40000) return "content shows " + std::to_string(filled) + " fill pixels";
  return "";
}

// Half the size, each pixel the mean of a 2 x 2 block (for pictures kept in git).
Image halfSize(const Image& image) {
  Image half;
  half.width = image.width / 2;
  half.height = image.height / 2;
  half.rgb.resize(static_cast<size_t>(half.width) * half.height * 3);
  for (int y = 0; y < half.height; ++y)
    for (int x = 0; x < half.width; ++x)
      for (int c = 0; c < 3; ++c) {
        auto at = [&](int dx, int dy) {
          return image.rgb[(static_cast<size_t>(2 * y + dy) * image.width + 2 * x + dx) * 3 + c];
        };
        half.rgb[(static_cast<size_t>(y) * half.width + x) * 3 + c] =
            static_cast<unsigned char>((at(0, 0) + at(1, 0) + at(0, 1) + at(1, 1) + 2) / 4);
      }
  return half;
}

// Keeps a screenshot in `folder`; with STRIVO_README_SHOTS set, a half-size copy
// of the Main, Input, Status and Jump tabs and of the calibration goes there too
// (scripts/readme-screenshots.sh).
void savePng(const Image& image, const std::string& folder, const std::string& name) {
  std::filesystem::create_directories(folder);
  stbi_write_png((folder + "/" + name).c_str(), image.width, image.height, 3, image.rgb.data(), image.width * 3);
  const char* readme = std::getenv("STRIVO_README_SHOTS");
  if (!readme || (name != "main-tab.png" && name != "input-tab.png" && name != "status-tab.png" &&
                  name != "jump-tab.png" && name != "calibration.png"))
    return;
  const Image half = halfSize(image);
  std::filesystem::create_directories(readme);
  stbi_write_png((std::string(readme) + "/" + name).c_str(), half.width, half.height, 3, half.rgb.data(),
                 half.width * 3);
}

// Captures until two captures 300 ms apart differ in fewer than 1 % of their
// pixels (bounded; live plot lines may move): the window has settled, so a
// picture never shows a frame still being laid out.
Image settledCapture(VirtualDisplay& screen, Window window, Image image) {
  for (auto deadline = Clock::now() + 5s; Clock::now() < deadline;) {
    std::this_thread::sleep_for(300ms);
    Image next = screen.capture(window);
    size_t differing = next.rgb.size() == image.rgb.size() ? 0 : next.rgb.size();
    for (size_t i = 0; differing < next.rgb.size() && i + 2 < next.rgb.size(); i += 3)
      if (next.rgb[i] != image.rgb[i] || next.rgb[i + 1] != image.rgb[i + 1] || next.rgb[i + 2] != image.rgb[i + 2])
        ++differing;
    const bool same = differing * 100 < next.rgb.size() / 3;
    image = std::move(next);
    if (same) break;
  }
  return image;
}

// Waits (bounded) for the window, then captures until a rendered frame shows or time runs out.
Window expectWindowRenders(VirtualDisplay& screen, ChildProcess& program, const std::string& shotFolder,
                           const std::string& shotName, std::chrono::seconds windowTimeout) {
  Window window = 0;
  for (auto deadline = Clock::now() + windowTimeout; !window && Clock::now() < deadline;) {
    window = screen.find("StrivoVR");
    // Keep looking after the launcher exits: under Wine the program can outlive it.
    if (!window && program.waitForExit(100ms) >= 0) std::this_thread::sleep_for(100ms);
  }
  EXPECT_NE(window, 0u) << "no window appeared\n" << program.output() << program.errors();
  if (!window) return 0;

  Image image;
  std::string missing = "nothing captured";
  for (auto deadline = Clock::now() + 8s; !missing.empty() && Clock::now() < deadline;) {
    std::this_thread::sleep_for(200ms);
    image = screen.capture(window);
    missing = checkRendered(image);
  }
  if (missing.empty()) {
    image = settledCapture(screen, window, std::move(image));
    missing = checkRendered(image);
  }
  if (image.width > 0) savePng(image, shotFolder, shotName);
  EXPECT_EQ(missing, "") << "see " << shotFolder << "/" << shotName;
  return missing.empty() ? window : 0;
}

// Clicks every other tab's button in turn, checks that it shows, and keeps a screenshot of each.
void expectEveryTabRenders(VirtualDisplay& screen, Window window, const std::string& shotFolder,
                           const std::string& suffix) {
  struct Tab {
    const char* file;
    unsigned fill;
  };
  const Tab tabs[] = {{"input", kCard},  {"jump", kCard},    {"crouch", kCard},
                      {"status", kCard}, {"startup", kCard}, {"debug", kHeaderBg}};
  for (size_t i = 0; i < std::size(tabs); ++i) {
    const size_t index = i + 1;
    Image image = screen.capture(window);
    const int top = headerTopOf(image);
    const std::vector<TabButton> buttons = tabButtons(image, top);
    ASSERT_GT(buttons.size(), index) << "tab buttons not found before " << tabs[i].file;
    screen.click(window, (buttons[index].left + buttons[index].right) / 2, top + 28);
    std::string missing = "nothing captured";
    for (auto deadline = Clock::now() + 8s; !missing.empty() && Clock::now() < deadline;) {
      std::this_thread::sleep_for(200ms);
      image = screen.capture(window);
      missing = checkTab(image, index, tabs[i].fill);
    }
    if (missing.empty()) {
      image = settledCapture(screen, window, std::move(image));
      missing = checkTab(image, index, tabs[i].fill);
    }
    const std::string name = std::string(tabs[i].file) + "-tab" + suffix + ".png";
    if (image.width > 0) savePng(image, shotFolder, name);
    EXPECT_EQ(missing, "") << "see " << shotFolder << "/" << name;
  }
}

// Green plot lines (lean, stick) in the Main tab's settings card, whose plots sit at its top.
int plotPixels(const Image& image) {
  const int top = headerTopOf(image);
  Image left = image;
  for (int y = 0; y < image.height; ++y)
    for (int x = image.width * 6 / 10; x < image.width; ++x)
      std::fill_n(&left.rgb[(size_t(y) * image.width + x) * 3], 3, 0);
  return left.count(kGood, top + 56, top + 56 + 400);
}

// Back on the Main tab, CALIBRATE (the raised button below the plots, found as
// a tall accent run at the card's left) opens the wizard, which counts down and
// then records: its progress bar fills in the good colour.
void expectCalibrationStarts(VirtualDisplay& screen, Window window, const std::string& shotFolder) {
  Image image = screen.capture(window);
  const int top = headerTopOf(image);
  const std::vector<TabButton> buttons = tabButtons(image, top);
  ASSERT_FALSE(buttons.empty());
  screen.click(window, (buttons[0].left + buttons[0].right) / 2, top + 28);
  std::this_thread::sleep_for(500ms);
  image = screen.capture(window);
  const int x = 60;
  int button = -1;
  for (int y = top + 60, run = 0; y < image.height - 90 && button < 0; ++y) {
    run = near(image.at(x, y), kAccent) ? run + 1 : 0;
    if (run >= 30) button = y - 15;
  }
  ASSERT_GE(button, 0) << "CALIBRATE not found";
  screen.click(window, x + 40, button);
  std::this_thread::sleep_for(3s);  // the countdown, then a second of recording
  image = screen.capture(window);
  savePng(image, shotFolder, "calibration.png");
  EXPECT_GT(image.count(kGood, top + 56, image.height - 90), 1500) << "see " << shotFolder << "/calibration.png";
}

TEST(GuiSmoke, LinuxProgramRendersHeaderAccentAndMainTab) {
  VirtualDisplay screen;
  ASSERT_NE(screen.display(), nullptr) << "Xvfb did not start";
  TempFolder home("gui_smoke");
  // A phone of our own on a port of our own: leaning, and jumping now and then, for the live plots.
  const int port = 20000 + getpid() % 20000;
  std::filesystem::create_directories(home.file("config/StrivoVR"));
  {
    std::ofstream settings(home.file("config/StrivoVR/usersettings.json"));
    settings << "{\"check_for_updates\": false, \"owotrack_input_port\": " << port << "}";
  }
  ChildProcess program(testsupport::distFolder() + "/strivovr", {},
                       {{"DISPLAY", screen.name()},
                        {"XDG_CONFIG_HOME", home.file("config")},
                        {"XDG_RUNTIME_DIR", home.path().string()},
                        {"SDL_AUDIODRIVER", "dummy"}},
                       testsupport::distFolder());
  ASSERT_TRUE(program.started());
  ASSERT_TRUE(program.waitForOutput("listening on UDP port " + std::to_string(port), 20s)) << program.output();
  ChildProcess phone(
      testsupport::distFolder() + "/phone_sim",
      {"--port", std::to_string(port), "--rate", "100", "--seconds", "90", "--quiet", "--lean",
       "0:0,2:25,4:-15,6:5,8:0,10:25,12:-15,14:5,16:0,30:0,32:25,34:-15,36:0,90:0", "--side",
       "0:0,3:-20,6:15,9:0,11:-20,14:15,16:0,90:0", "--jump", "1,3.5,6,8.5,11,13.5,16,18.5,21,23.5,26,28.5,31"},
      {}, "");
  ASSERT_TRUE(phone.started());
  std::this_thread::sleep_for(6s);  // some history to plot
  const Window window = expectWindowRenders(screen, program, STRIVO_SCREENSHOT_DIR, "main-tab.png", 20s);
  EXPECT_GT(plotPixels(screen.capture(window)), 100) << "no live plot lines on the Main tab";
  if (window) {
    expectEveryTabRenders(screen, window, STRIVO_SCREENSHOT_DIR, "");
    expectCalibrationStarts(screen, window, STRIVO_SCREENSHOT_DIR);
  }
  // Closing the window (SDL turns SIGTERM into a quit) shuts the program down cleanly.
  program.signal(SIGTERM);
  EXPECT_EQ(program.waitForExit(10s), 0) << program.errors();
  EXPECT_NE(program.output().find("ServiceManager: Cleaning up all services..."), std::string::npos);
}

TEST(GuiSmoke, WithoutFontFilesTheWindowStillOpensInTheBuiltInFont) {
  VirtualDisplay screen;
  ASSERT_NE(screen.display(), nullptr) << "Xvfb did not start";
  TempFolder home("gui_nofonts");  // working directory without fonts/ or ../deps/fonts/
  ChildProcess program(
      testsupport::distFolder() + "/strivovr", {},
      {{"DISPLAY", screen.name()}, {"XDG_CONFIG_HOME", home.file("config")}, {"XDG_RUNTIME_DIR", home.path().string()}},
      home.path().string());
  ASSERT_TRUE(program.started());
  expectWindowRenders(screen, program, STRIVO_SCREENSHOT_DIR, "main-tab-no-fonts.png", 20s);
}

TEST(GuiSmoke, ProgramWithoutADisplayExitsWithCodeOne) {
  TempFolder home("gui_nodisplay");
  ChildProcess program(testsupport::distFolder() + "/strivovr", {},
                       {{"DISPLAY", ":" + std::to_string(900 + getpid() % 90)},  // no server there
                        {"WAYLAND_DISPLAY", ""},
                        {"XDG_CONFIG_HOME", home.file("config")},
                        {"XDG_RUNTIME_DIR", home.path().string()}},
                       testsupport::distFolder());
  EXPECT_EQ(program.waitForExit(20s), 1) << program.output() << program.errors();
}

TEST(GuiSmoke, WindowsProgramRendersUnderWine) {
  const std::string exe = std::string(STRIVO_WINDOWS_DIST_DIR) + "/StrivoVR.exe";
  if (!std::filesystem::exists(exe)) GTEST_SKIP() << "Windows build not present: " << exe;
  if (!std::filesystem::exists("/usr/bin/wine")) GTEST_SKIP() << "wine not installed";
  VirtualDisplay screen;
  ASSERT_NE(screen.display(), nullptr) << "Xvfb did not start";
  TempFolder home("gui_wine");
  // A Wine prefix of our own, its server started detached (see platform notes),
  // booted on this display: Wine's desktop process keeps the display it started on.
  const std::string prefix = home.file("prefix");
  std::filesystem::create_directories(prefix);
  const std::string env =
      "WINEPREFIX='" + prefix + "' WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES='mscoree,mshtml=' ";
  // Whatever happens below, every process of this prefix ends with the test: the
  // program may outlive the `wine` launcher that started it.
  struct PrefixShutdown {
    std::string command;
    ~PrefixShutdown() { std::system(command.c_str()); }
  } prefixShutdown{"timeout 20 sh -c \"" + env + "wineserver -k >/dev/null 2>&1\""};
  ASSERT_EQ(std::system(("timeout 60 sh -c \"" + env + "wineserver -p </dev/null >/dev/null 2>&1; " + env +
                         "DISPLAY=" + screen.name() + " wineboot -i </dev/null >/dev/null 2>&1\"")
                            .c_str()),
            0);
  {
    ChildProcess program("/usr/bin/wine", {exe},
                         {{"DISPLAY", screen.name()},
                          {"WINEPREFIX", prefix},
                          {"WINEDEBUG", "-all"},
                          {"WINEARCH", "win64"},
                          {"WINEDLLOVERRIDES", "mscoree,mshtml="}},
                         STRIVO_WINDOWS_DIST_DIR);
    ASSERT_TRUE(program.started());
    const Window window = expectWindowRenders(screen, program, STRIVO_WINDOWS_SCREENSHOT_DIR, "main-tab-wine.png", 40s);
    if (window) expectEveryTabRenders(screen, window, STRIVO_WINDOWS_SCREENSHOT_DIR, "-wine");
  }  // the program is killed here, and the prefix's processes by prefixShutdown
}

}  // namespace
