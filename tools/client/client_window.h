// The client's small window: the title it was given, the system's name and
// version, which program this copy plays, and a Close button. FLTK ends the
// process when it finds no display, so the display is opened here first; without
// one there is no window and the client's printed lines are all there is.
#pragma once

#include <memory>
#include <string>

class Fl_Window;

class ClientWindow {
 public:
  // Texts are UTF-8.
  struct Content {
    std::string title;
    std::string system;
    std::string version;
    std::string program;
  };

  // Shows the window; null when no display can be opened.
  static std::unique_ptr<ClientWindow> Open(const Content& content);
  ~ClientWindow();
  ClientWindow(const ClientWindow&) = delete;
  ClientWindow& operator=(const ClientWindow&) = delete;

  // Handles the window's events for at most waitMs.
  void Pump(int waitMs);
  // The user pressed Close, the close box or Escape.
  bool Closed() const { return closed_; }

 private:
  ClientWindow() = default;
  static void OnClose(void* self);

  std::unique_ptr<Fl_Window> window_;
  bool closed_ = false;
};
