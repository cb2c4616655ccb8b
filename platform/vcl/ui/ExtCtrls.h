// Panels and timers.
#pragma once

#include <cstdint>
#include <memory>

#include "Controls.h"

namespace vcl {

// A panel: a container with an outer and an inner bevel.
class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
  ~TPanel() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut cut);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut cut);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int width);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int width);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);

 protected:
  void TextChanged() override;
  void ColorChanged() override;

 private:
  friend struct ControlAccess;
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
};

// A timer. It runs while Enabled is true, Interval is above 0 and OnTimer is
// assigned; OnTimer then fires every Interval milliseconds on the
// user-interface thread. Enabling a running timer does not restart it;
// changing Interval or OnTimer does.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned milliseconds);
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  void SetOnTimer(const TNotifyEvent& handler);
  // Whether the timer is counting now.
  bool Running() const;

 protected:
  void Loaded() override;
  // Fires OnTimer.
  virtual void Timer();

 private:
  struct Impl;
  void UpdateTimer();

  std::unique_ptr<Impl> impl_;
  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent onTimer_;
};

}  // namespace vcl
