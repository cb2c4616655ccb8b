// Colours, fonts, bitmaps and the canvas controls paint on.
//
// A TBitmap holds an image in memory (loaded from a bitmap resource or a
// layout's binary data); a TCanvas draws on a control while it paints, or
// on a bitmap. Drawing a transparent bitmap leaves every pixel of its
// transparent colour undrawn; in the automatic mode that colour is the one
// of the bottom-left pixel.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Classes.h"
#include "win32.h"

class QImage;
class QPainter;

namespace vcl {

// 0x00BBGGRR for a plain colour; values with the top byte 0xFF are system
// colours (clBtnFace ...), resolved when drawn.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The plain 0x00BBGGRR value a colour stands for (system colours resolved).
TColor ColorToRGB(TColor color);
// "clBtnFace" or an integer, as a layout writes a colour.
TColor ValueToColor(const TFormValue& value);

template <class C>
TPropInfo ColorProp(const char* name, void (C::*setter)(TColor)) {
  return {name, [setter](TObject* o, const TFormValue& v, TReader&) {
            (static_cast<C*>(o)->*setter)(ValueToColor(v));
          }, nullptr};
}

struct TPoint {
  int X = 0;
  int Y = 0;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};

inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }

enum TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle, std::uint8_t>;
using TFontCharset = std::uint8_t;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset RUSSIAN_CHARSET = 204;

// A font description. Height < 0 is the character height in pixels (what
// layouts store: -11 is 8 points at 96 pixels per inch), Size is in points.
// "MS Sans Serif" and the other classic faces map to a sans-serif face of
// the same pixel size.
class TFont : public TPersistent {
 public:
  TFont();
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int Height() const { return height_; }
  void SetHeight(int height);
  int Size() const;
  void SetSize(int points);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset charset);
  // Layouts write the charset as an integer or a name (DEFAULT_CHARSET).
  void SetCharsetValue(long long charset) { SetCharset(static_cast<TFontCharset>(charset)); }

  void Assign(TPersistent* source) override;

  // Fired after every change.
  TNotifyEvent OnChange;

 private:
  void Changed();

  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TColor color_ = clWindowText;
  TFontStyles style_;
  TFontCharset charset_ = DEFAULT_CHARSET;
};

enum TTransparentMode : std::uint8_t { tmAuto, tmFixed };
enum TBrushStyle : std::uint8_t { bsSolid, bsClear };

class TBitmap;

// A surface to draw on: a control while its Paint runs, or a bitmap.
// Outside of a paint a control's canvas draws nothing.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  // Draws `bitmap` with its top-left corner at (x, y). A transparent bitmap
  // leaves the pixels of its transparent colour undrawn.
  void Draw(int x, int y, TBitmap* bitmap);
  void StretchDraw(const TRect& rect, TBitmap* bitmap);
  // Fills with the brush colour (nothing for bsClear).
  void FillRect(const TRect& rect);
  // One-pixel frame in the brush colour, as the classic call does.
  void FrameRect(const TRect& rect);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void TextOut(int x, int y, const std::string& text);
  int TextWidth(const std::string& text) const;
  int TextHeight(const std::string& text) const;
  // The colour of one pixel of a bitmap's canvas (clNone on a control).
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  TColor BrushColor() const { return brushColor_; }
  void SetBrushColor(TColor color) { brushColor_ = color; }
  TBrushStyle BrushStyle() const { return brushStyle_; }
  void SetBrushStyle(TBrushStyle style) { brushStyle_ = style; }
  TColor PenColor() const { return penColor_; }
  void SetPenColor(TColor color) { penColor_ = color; }
  TFont* Font() const { return font_.get(); }

  // The visual runtime attaches a painter for the time of a paint.
  QPainter* Painter() const;
  void AttachPainter(QPainter* painter);
  void AttachBitmap(TBitmap* bitmap);

 private:
  QPainter* painter_ = nullptr;
  TBitmap* bitmap_ = nullptr;
  TColor brushColor_ = clWhite;
  TBrushStyle brushStyle_ = bsSolid;
  TColor penColor_ = clBlack;
  TPoint pen_;
  std::unique_ptr<TFont> font_;
};

class TBitmap : public TPersistent {
 public:
  TBitmap();
  ~TBitmap() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  // Loads the bitmap resource `name` (a .bmp compiled into the program);
  // EResNotFound when there is none, EInvalidGraphic when it is no bitmap.
  void LoadFromResourceName(HINSTANCE instance, const std::string& name);
  void LoadFromResourceName(const std::string& name) { LoadFromResourceName(nullptr, name); }
  // Bitmap file bytes (BMP), as a layout's Glyph.Data carries them; a
  // 4-byte little-endian length in front, as form files store it, is accepted.
  void LoadFromData(const std::string& bytes);
  void SaveToFile(const std::string& path) const;  // PNG or BMP by extension

  int Width() const;
  int Height() const;
  void SetSize(int width, int height);
  bool Empty() const;

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode) { transparentMode_ = mode; }
  // tmAuto: the colour of the bottom-left pixel; tmFixed: the one set.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor color);

  TCanvas* Canvas();
  void Assign(TPersistent* source) override;

  // The image itself, for the visual runtime.
  const QImage& Image() const;
  QImage& MutableImage();

  TNotifyEvent OnChange;

 protected:
  void AssignTo(TPersistent* dest) override;

 private:
  void Changed();

  std::unique_ptr<QImage> image_;
  bool transparent_ = false;
  TTransparentMode transparentMode_ = tmAuto;
  TColor transparentColor_ = clDefault;
  std::unique_ptr<TCanvas> canvas_;
};

class EInvalidGraphic : public Exception {
  using Exception::Exception;
};

// The program's module handle, as the resource calls take it.
extern HINSTANCE HInstance;

}  // namespace vcl
