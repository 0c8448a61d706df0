// "Configure IP Information": the modal dialog that shows a protocol adapter's IP
// address, subnet mask, default gateway and DNS server, lets the user change them
// or choose DHCP, and writes them back into the caller's record on OK. The record
// stays the caller's; Cancel leaves it as received.
#pragma once

#include <cstdint>

#include "app/adapter_ip_record.h"
#include "ui/dialog.h"

class CConfigBrickDlg : public ui::Dialog {
 public:
  // record: read at initialisation, written on OK; not owned.
  CConfigBrickDlg(AdapterIpRecord* record, ui::Dialog* parent);

  void DoDataExchange(ui::DataExchange& exchange) override;
  // Shows the record's four addresses.
  bool OnInitDialog() override;
  // The four controls into the record (a blank control gives 0), then closes with OK.
  void OnOK() override;
  void OnCommand(int id, ui::Notification notification) override;
  // "Set DHCP": all four addresses 0.0.0.0, then OK at once.
  void OnSetDhcp();

 private:
  AdapterIpRecord* record_;
  uint32_t ipAddress_ = 0;
  uint32_t subnetMask_ = 0;
  uint32_t defaultGateway_ = 0;
  uint32_t dnsServer_ = 0;
};
