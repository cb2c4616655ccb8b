// Published properties of the port and its setting objects, for the layout
// reader, and the registration of TComPort.
#include <mutex>

#include "CPort.h"

const vcl::TEnumNames& BaudRateNames() {
  static const vcl::TEnumNames names{"brCustom", "br110",   "br300",   "br600",   "br1200",  "br2400",
                                     "br4800",   "br9600",  "br14400", "br19200", "br38400", "br56000",
                                     "br57600",  "br115200", "br128000", "br256000"};
  return names;
}
const vcl::TEnumNames& DataBitsNames() {
  static const vcl::TEnumNames names{"dbFive", "dbSix", "dbSeven", "dbEight"};
  return names;
}
const vcl::TEnumNames& StopBitsNames() {
  static const vcl::TEnumNames names{"sbOneStopBit", "sbOne5StopBits", "sbTwoStopBits"};
  return names;
}
const vcl::TEnumNames& ParityBitsNames() {
  static const vcl::TEnumNames names{"prNone", "prOdd", "prEven", "prMark", "prSpace"};
  return names;
}
const vcl::TEnumNames& DTRFlowControlNames() {
  static const vcl::TEnumNames names{"dtrDisable", "dtrEnable", "dtrHandshake"};
  return names;
}
const vcl::TEnumNames& RTSFlowControlNames() {
  static const vcl::TEnumNames names{"rtsDisable", "rtsEnable", "rtsHandshake", "rtsToggle"};
  return names;
}
const vcl::TEnumNames& FlowControlNames() {
  static const vcl::TEnumNames names{"fcHardware", "fcSoftware", "fcNone", "fcCustom"};
  return names;
}
const vcl::TEnumNames& SyncMethodNames() {
  static const vcl::TEnumNames names{"smThreadSync", "smWindowSync", "smNone"};
  return names;
}
const vcl::TEnumNames& ComEventNames() {
  static const vcl::TEnumNames names{"evRxChar", "evTxEmpty", "evRxFlag", "evRing",  "evBreak",
                                     "evCTS",    "evDSR",     "evError",  "evRLSD", "evRx80Full"};
  return names;
}

const vcl::TClassInfo* TComTimeouts::StaticClassInfo() {
  static const vcl::TClassInfo info = [] {
    vcl::TClassInfo i("TComTimeouts", vcl::TPersistent::StaticClassInfo());
    i.Add(vcl::IntProp("ReadInterval", &TComTimeouts::SetReadInterval))
        .Add(vcl::IntProp("ReadTotalMultiplier", &TComTimeouts::SetReadTotalMultiplier))
        .Add(vcl::IntProp("ReadTotalConstant", &TComTimeouts::SetReadTotalConstant))
        .Add(vcl::IntProp("WriteTotalMultiplier", &TComTimeouts::SetWriteTotalMultiplier))
        .Add(vcl::IntProp("WriteTotalConstant", &TComTimeouts::SetWriteTotalConstant));
    return i;
  }();
  return &info;
}
const vcl::TClassInfo* TComTimeouts::ClassInfo() const { return StaticClassInfo(); }

const vcl::TClassInfo* TComFlowControl::StaticClassInfo() {
  static const vcl::TClassInfo info = [] {
    vcl::TClassInfo i("TComFlowControl", vcl::TPersistent::StaticClassInfo());
    i.Add(vcl::EnumProp("FlowControl", &TComFlowControl::SetFlowControl, FlowControlNames()))
        .Add(vcl::BoolProp("OutCTSFlow", &TComFlowControl::SetOutCTSFlow))
        .Add(vcl::BoolProp("OutDSRFlow", &TComFlowControl::SetOutDSRFlow))
        .Add(vcl::EnumProp("ControlDTR", &TComFlowControl::SetControlDTR, DTRFlowControlNames()))
        .Add(vcl::EnumProp("ControlRTS", &TComFlowControl::SetControlRTS, RTSFlowControlNames()))
        .Add(vcl::BoolProp("XonXoffOut", &TComFlowControl::SetXonXoffOut))
        .Add(vcl::BoolProp("XonXoffIn", &TComFlowControl::SetXonXoffIn))
        .Add(vcl::BoolProp("DSRSensitivity", &TComFlowControl::SetDSRSensitivity))
        .Add(vcl::BoolProp("TxContinueOnXoff", &TComFlowControl::SetTxContinueOnXoff))
        .Add(vcl::CharProp("XonChar", &TComFlowControl::SetXonChar))
        .Add(vcl::CharProp("XoffChar", &TComFlowControl::SetXoffChar));
    return i;
  }();
  return &info;
}
const vcl::TClassInfo* TComFlowControl::ClassInfo() const { return StaticClassInfo(); }

const vcl::TClassInfo* TComParity::StaticClassInfo() {
  static const vcl::TClassInfo info = [] {
    vcl::TClassInfo i("TComParity", vcl::TPersistent::StaticClassInfo());
    i.Add(vcl::EnumProp("Bits", &TComParity::SetBits, ParityBitsNames()))
        .Add(vcl::BoolProp("Check", &TComParity::SetCheck))
        .Add(vcl::BoolProp("Replace", &TComParity::SetReplace))
        .Add(vcl::CharProp("ReplaceChar", &TComParity::SetReplaceChar));
    return i;
  }();
  return &info;
}
const vcl::TClassInfo* TComParity::ClassInfo() const { return StaticClassInfo(); }

const vcl::TClassInfo* TComBuffer::StaticClassInfo() {
  static const vcl::TClassInfo info = [] {
    vcl::TClassInfo i("TComBuffer", vcl::TPersistent::StaticClassInfo());
    i.Add(vcl::IntProp("InputSize", &TComBuffer::SetInputSize))
        .Add(vcl::IntProp("OutputSize", &TComBuffer::SetOutputSize));
    return i;
  }();
  return &info;
}
const vcl::TClassInfo* TComBuffer::ClassInfo() const { return StaticClassInfo(); }

const vcl::TClassInfo* TCustomComPort::StaticClassInfo() {
  static const vcl::TClassInfo info("TCustomComPort", vcl::TComponent::StaticClassInfo());
  return &info;
}
const vcl::TClassInfo* TCustomComPort::ClassInfo() const { return StaticClassInfo(); }

const vcl::TClassInfo* TComPort::StaticClassInfo() {
  using P = TCustomComPort;
  static const vcl::TClassInfo info = [] {
    vcl::TClassInfo i("TComPort", TCustomComPort::StaticClassInfo(),
                      [](vcl::TComponent* owner) -> vcl::TComponent* { return new TComPort(owner); });
    i.Add(vcl::BoolProp("Connected", &P::SetConnected))
        .Add(vcl::EnumProp("BaudRate", &P::SetBaudRate, BaudRateNames()))
        .Add(vcl::StrProp("Port", &P::SetPort))
        .Add(vcl::SubProp("Parity", &P::Parity))
        .Add(vcl::EnumProp("StopBits", &P::SetStopBits, StopBitsNames()))
        .Add(vcl::EnumProp("DataBits", &P::SetDataBits, DataBitsNames()))
        .Add(vcl::BoolProp("DiscardNull", &P::SetDiscardNull))
        .Add(vcl::CharProp("EventChar", &P::SetEventChar))
        .Add(vcl::SetProp<P, TComEvents, TComEvent>("Events", &P::SetEvents, ComEventNames()))
        .Add(vcl::SubProp("Buffer", &P::Buffer))
        .Add(vcl::SubProp("FlowControl", &P::FlowControl))
        .Add(vcl::SubProp("Timeouts", &P::Timeouts))
        .Add(vcl::EnumProp("SyncMethod", &P::SetSyncMethod, SyncMethodNames()))
        .Add(vcl::EventProp("OnAfterOpen", &P::OnAfterOpen))
        .Add(vcl::EventProp("OnAfterClose", &P::OnAfterClose))
        .Add(vcl::EventProp("OnBeforeOpen", &P::OnBeforeOpen))
        .Add(vcl::EventProp("OnBeforeClose", &P::OnBeforeClose))
        .Add(vcl::EventProp("OnRxChar", &P::OnRxChar))
        .Add(vcl::EventProp("OnRxBuf", &P::OnRxBuf))
        .Add(vcl::EventProp("OnTxEmpty", &P::OnTxEmpty))
        .Add(vcl::EventProp("OnBreak", &P::OnBreak))
        .Add(vcl::EventProp("OnRing", &P::OnRing))
        .Add(vcl::EventProp("OnCTSChange", &P::OnCTSChange))
        .Add(vcl::EventProp("OnDSRChange", &P::OnDSRChange))
        .Add(vcl::EventProp("OnRLSDChange", &P::OnRLSDChange))
        .Add(vcl::EventProp("OnRxFlag", &P::OnRxFlag))
        .Add(vcl::EventProp("OnError", &P::OnError))
        .Add(vcl::EventProp("OnRx80Full", &P::OnRx80Full));
    return i;
  }();
  return &info;
}
const vcl::TClassInfo* TComPort::ClassInfo() const { return StaticClassInfo(); }

void RegisterEngineClasses() {
  static std::once_flag once;
  std::call_once(once, [] { vcl::RegisterClass(TComPort::StaticClassInfo()); });
}
