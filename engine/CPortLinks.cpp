// Links: attaching, detaching and the four walks over the attached links.
// The walks run on the thread of the operation that notifies (see CPort.h).
#include "CPort.h"

void TCustomComPort::AttachLink(TComLink* link) {
  if (FLinkList->IndexOf(link) >= 0) throw EComPort(ecLinkRegistration);
  FLinkList->Add(link);
  FRxBufLinked = AnyLinkWantsRxBuffer();
}

void TCustomComPort::DetachLink(TComLink* link) {
  if (FLinkList->IndexOf(link) < 0) throw EComPort(ecLinkRegistration);
  FLinkList->Remove(link);
  FRxBufLinked = AnyLinkWantsRxBuffer();
}

// The walks take the number of links once and fetch each by position. A
// handler that detaches a link shortens the list under the walk; the bound
// check keeps such a walk from reading past the end.
namespace {
template <class Visit>
void WalkLinks(const vcl::TList* list, Visit visit) {
  const int count = list->Count();
  for (int i = 0; i < count && i < list->Count(); ++i) visit(static_cast<TComLink*>(list->Items(i)));
}
}  // namespace

void TCustomComPort::NotifyLinksSignal(TComLinkEvent kind, bool onOff) {
  TComSignalEvent TComLink::*slot = nullptr;
  switch (kind) {
    case lnConn: slot = &TComLink::OnLinkConn; break;
    case lnCTS: slot = &TComLink::OnLinkCTSChange; break;
    case lnDSR: slot = &TComLink::OnLinkDSRChange; break;
    case lnRLSD: slot = &TComLink::OnLinkRLSDChange; break;
    case lnRx: slot = &TComLink::OnLinkRx; break;
    case lnTx: slot = &TComLink::OnLinkTx; break;
    default: return;
  }
  WalkLinks(FLinkList, [&](TComLink* link) {
    if ((link->*slot).Assigned()) (link->*slot)(this, onOff);
  });
}

void TCustomComPort::NotifyLinksEvent(TComLinkEvent kind) {
  vcl::TNotifyEvent TComLink::*slot = nullptr;
  switch (kind) {
    case lnRing: slot = &TComLink::OnLinkRing; break;
    case lnTxEmpty: slot = &TComLink::OnLinkTxEmpty; break;
    case lnRxFlag: slot = &TComLink::OnLinkRxFlag; break;
    default: return;
  }
  WalkLinks(FLinkList, [&](TComLink* link) {
    if ((link->*slot).Assigned()) (link->*slot)(this);
  });
}

void TCustomComPort::NotifyLinksTxBuffer(const void* buffer, int count) {
  WalkLinks(FLinkList, [&](TComLink* link) {
    if (link->OnLinkTxBuf.Assigned()) link->OnLinkTxBuf(this, buffer, count);
  });
}

bool TCustomComPort::AnyLinkWantsRxBuffer() const {
  bool wants = false;
  WalkLinks(FLinkList, [&](TComLink* link) { wants = wants || link->OnLinkRxBuf.Assigned(); });
  return wants;
}
