// Picture buttons.
#pragma once

#include <cstdint>
#include <memory>

#include "Controls.h"

namespace vcl {

// A button without focus that shows a glyph (and an optional caption). A
// flat one shows its frame only while the mouse is over it. Its glyph is
// drawn transparent in the glyph's transparent colour (the bottom-left pixel).
class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* owner);
  ~TSpeedButton() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* glyph) { glyph_->Assign(glyph); }
  bool Flat() const { return flat_; }
  void SetFlat(bool flat);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int count);
  bool Down() const { return down_; }
  void SetDown(bool down);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int index) { groupIndex_ = index; }
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool allow) { allowAllUp_ = allow; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);

  void Click() override;

 protected:
  void TextChanged() override;
  void EnabledChanged() override;

 private:
  void UpdateGlyph();

  std::unique_ptr<TBitmap> glyph_;
  bool flat_ = false;
  int numGlyphs_ = 1;
  bool down_ = false;
  int groupIndex_ = 0;
  bool allowAllUp_ = false;
  bool transparent_ = true;
};

}  // namespace vcl
