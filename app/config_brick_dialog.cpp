#include "app/config_brick_dialog.h"

#include "app/dialog_templates.h"

CConfigBrickDlg::CConfigBrickDlg(AdapterIpRecord* record, ui::Dialog* parent)
    : ui::Dialog(ConfigBrickDialogTemplate(), parent), record_(record) {}

void CConfigBrickDlg::DoDataExchange(ui::DataExchange& exchange) {
  exchange.Address(IDC_IP_ADDRESS, ipAddress_);
  exchange.Address(IDC_SUBNET_MASK, subnetMask_);
  exchange.Address(IDC_DEFAULT_GATEWAY, defaultGateway_);
  exchange.Address(IDC_DNS_SERVER, dnsServer_);
}

bool CConfigBrickDlg::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  ipAddress_ = GetRecordAddress(*record_, kRecordIpAddressOffset);
  subnetMask_ = GetRecordAddress(*record_, kRecordSubnetMaskOffset);
  defaultGateway_ = GetRecordAddress(*record_, kRecordDefaultGatewayOffset);
  dnsServer_ = GetRecordAddress(*record_, kRecordDnsServerOffset);
  UpdateData(false);
  return true;
}

void CConfigBrickDlg::OnOK() {
  if (!UpdateData(true)) return;
  SetRecordAddress(record_, kRecordIpAddressOffset, ipAddress_);
  SetRecordAddress(record_, kRecordSubnetMaskOffset, subnetMask_);
  SetRecordAddress(record_, kRecordDefaultGatewayOffset, defaultGateway_);
  SetRecordAddress(record_, kRecordDnsServerOffset, dnsServer_);
  EndDialog(ui::kIdOk);
}

void CConfigBrickDlg::OnCommand(int id, ui::Notification notification) {
  if (id == IDC_SET_DHCP && notification == ui::Notification::kClicked) OnSetDhcp();
}

void CConfigBrickDlg::OnSetDhcp() {
  ipAddress_ = subnetMask_ = defaultGateway_ = dnsServer_ = 0;
  UpdateData(false);
  OnOK();
}
