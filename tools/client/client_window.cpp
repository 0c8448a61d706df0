#include "tools/client/client_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 164;
constexpr int kMargin = 12;
constexpr int kLineHeight = 22;

// A label drawn as plain text: system names come from the network, and FLTK
// would read an "@" in them as a symbol.
class PlainLabel : public Fl_Box {
 public:
  PlainLabel(int x, int y, int w, int h, const std::string& text, int size, Fl_Font font)
      : Fl_Box(FL_FLAT_BOX, x, y, w, h, nullptr) {
    copy_label(text.c_str());
    labelsize(size);
    labelfont(font);
    align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  }

 protected:
  void draw() override {
    draw_box();
    fl_font(labelfont(), labelsize());
    fl_color(labelcolor());
    fl_draw(label(), x(), y(), w(), h(), align(), nullptr, 0);
  }
};

}  // namespace

std::unique_ptr<ClientWindow> ClientWindow::Open(const Content& content) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  fl_open_display(display);

  std::unique_ptr<ClientWindow> self(new ClientWindow());
  self->window_ = std::make_unique<Fl_Window>(kWidth, kHeight);
  Fl_Window& window = *self->window_;
  window.copy_label(content.title.c_str());
  const int textWidth = kWidth - 2 * kMargin;
  int y = kMargin;
  new PlainLabel(kMargin, y, textWidth, kLineHeight + 4, content.title, 16, FL_HELVETICA_BOLD);
  y += kLineHeight + 10;
  new PlainLabel(kMargin, y, textWidth, kLineHeight, "System: " + content.system, 14, FL_HELVETICA);
  y += kLineHeight;
  new PlainLabel(kMargin, y, textWidth, kLineHeight, "Version: " + content.version, 14, FL_HELVETICA);
  y += kLineHeight;
  new PlainLabel(kMargin, y, textWidth, kLineHeight, "Program: " + content.program, 14, FL_HELVETICA);
  auto* close = new Fl_Button(kWidth - kMargin - 90, kHeight - kMargin - 28, 90, 28, "Close");
  close->shortcut(FL_Enter);
  close->callback([](Fl_Widget*, void* data) { OnClose(data); }, self.get());
  window.callback([](Fl_Widget*, void* data) { OnClose(data); }, self.get());
  window.end();
  window.show();
  return self;
}

ClientWindow::~ClientWindow() {
  if (window_) window_->hide();
  window_.reset();
  Fl::check();
}

void ClientWindow::Pump(int waitMs) { Fl::wait(waitMs / 1000.0); }

void ClientWindow::OnClose(void* self) { static_cast<ClientWindow*>(self)->closed_ = true; }
