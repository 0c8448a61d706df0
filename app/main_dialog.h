// The launcher's main window: the picture, System Name, Password, Remember Login
// Info, the Local Systems list and the buttons that start the viewer or the
// configurator. One 300 ms timer drives both the discovery of local systems and
// the watch over a started client.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/connect_dialog.h"
#include "discovery/local_discovery.h"
#include "discovery/system_list.h"
#include "platform/process.h"
#include "ui/dialog.h"

class CDiRIRUVDlg : public ui::Dialog {
 public:
  static constexpr int kTimerId = 1;
  static constexpr int kTimerPeriodMs = 300;

  CDiRIRUVDlg(const std::string& initialSystemName, const std::string& initialPassword,
              ui::Dialog* parent = nullptr);
  ~CDiRIRUVDlg() override;

  void DoDataExchange(ui::DataExchange& exchange) override;
  bool OnInitDialog() override;
  // Enter never closes the launcher.
  void OnOK() override {}
  void OnCommand(int id, ui::Notification notification) override;
  void OnTimer(int timerId) override;

  virtual void TimerWork();
  // 0: the viewer, 1: the configurator. True when a client was started.
  virtual bool Launch(int clientKind);

  // Hands the line to the open progress dialog; dropped when none is open. Every
  // line also goes to the status observer, when one is set (the headless command
  // prints them all).
  void PostStatus(const std::string& line);
  void EndLaunch(bool closeConnection, bool waitForUser);
  bool IsViewerRunning();
  void DestroyProgressDialog();
  void SetStatusObserver(std::function<void(const std::string&)> observer) { statusObserver_ = std::move(observer); }

  void OnStart() { StartOrConfigure(0); }
  void OnConfigure() { StartOrConfigure(1); }
  void OnOptions();
  void OnConfigureIpInfo();
  void OnSystemNameHelp();
  void OnSelectLocalSystem();
  void OnSystemNameChange();

  // Members the launch, discovery and the IP configuration work on.
  platform::ChildProcess childProcess;
  bool launchBusy = false;
  uint32_t lastAddress = 0;  // network byte order
  std::string systemName;
  std::string password;
  int rememberLogin = 0;
  int optionsExpanded = 0;
  CConnectDlg* progressDialog = nullptr;
  int smallScreen = 0;
  int osdMode = 0;
  std::string rememberedName;
  std::string rememberedPassword;

  LocalDiscovery& Discovery() { return discovery_; }
  SystemList& LocalSystems();

 private:
  class ListOfSystems;

  void StartOrConfigure(int clientKind);
  void GatherOwnClients();
  void FreeListEntries();
  void WatchChild();

  LocalDiscovery discovery_;
  std::unique_ptr<ListOfSystems> systemList_;
  std::function<void(const std::string&)> statusObserver_;
};

// Set by "/DEMO"; never cleared.
extern int demoMode;
