#include "Graphics.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <cstdlib>
#include <utility>

#include "QtBridge.h"
#include "Resources.h"

namespace vcl {

HINSTANCE HInstance = nullptr;

// --- colours ----------------------------------------------------------------

namespace {

struct NamedColor {
  const char* name;
  TColor color;
};

constexpr NamedColor kColorNames[] = {
    {"clBlack", clBlack},         {"clMaroon", clMaroon},
    {"clGreen", clGreen},         {"clOlive", clOlive},
    {"clNavy", clNavy},           {"clPurple", clPurple},
    {"clTeal", clTeal},           {"clGray", clGray},
    {"clSilver", clSilver},       {"clRed", clRed},
    {"clLime", clLime},           {"clYellow", clYellow},
    {"clBlue", clBlue},           {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},           {"clWhite", clWhite},
    {"clScrollBar", clScrollBar}, {"clBackground", clBackground},
    {"clWindow", clWindow},       {"clWindowFrame", clWindowFrame},
    {"clWindowText", clWindowText}, {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText}, {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow}, {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},     {"clBtnHighlight", clBtnHighlight},
    {"clInfoText", clInfoText},   {"clInfoBk", clInfoBk},
    {"clNone", clNone},           {"clDefault", clDefault},
};

// The system colours of the classic desktop the layouts were drawn for.
TColor SystemColor(int index) {
  switch (index) {
    case 0: return 0xC8C8C8;   // scroll bar
    case 1: return 0x000000;   // desktop
    case 5: return 0xFFFFFF;   // window
    case 6: return 0x646464;   // window frame
    case 8: return 0x000000;   // window text
    case 13: return 0xD77800;  // highlight (0, 120, 215)
    case 14: return 0xFFFFFF;  // highlight text
    case 15: return 0xF0F0F0;  // button face
    case 16: return 0xA0A0A0;  // button shadow
    case 17: return 0x6D6D6D;  // grey text
    case 18: return 0x000000;  // button text
    case 20: return 0xFFFFFF;  // button highlight
    case 23: return 0x000000;  // info text
    case 24: return 0xE1FFFF;  // info background
    default: return 0xF0F0F0;
  }
}

bool SameNameCI(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

}  // namespace

TColor ColorToRGB(TColor color) {
  if ((static_cast<std::uint32_t>(color) & 0xFF000000u) == 0xFF000000u)
    return SystemColor(color & 0xFF);
  if (color == clNone || color == clDefault) return 0xFFFFFF;
  return color & 0xFFFFFF;
}

TColor ValueToColor(const TFormValue& value) {
  if (value.kind == TFormValue::Kind::Integer) return static_cast<TColor>(value.integer);
  if (value.kind == TFormValue::Kind::Ident)
    for (const auto& named : kColorNames)
      if (SameNameCI(value.text, named.name)) return named.color;
  throw EConvertError("Invalid property value");
}

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TColor FromQColor(const QColor& color) {
  return static_cast<TColor>(color.red() | (color.green() << 8) | (color.blue() << 16));
}

// --- TFont ----------------------------------------------------------------------

namespace {
const TEnumNames kFontStyleNames = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

struct NamedCharset {
  const char* name;
  int value;
};
constexpr NamedCharset kCharsets[] = {
    {"ANSI_CHARSET", 0},   {"DEFAULT_CHARSET", 1}, {"SYMBOL_CHARSET", 2},
    {"OEM_CHARSET", 255},  {"RUSSIAN_CHARSET", 204}, {"EASTEUROPE_CHARSET", 238},
};
}  // namespace

TFont::TFont() = default;

const TClassInfo* TFont::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TFont", TPersistent::StaticClassInfo());
    i.Add(StrProp("Name", &TFont::SetName));
    i.Add(IntProp("Height", &TFont::SetHeight));
    i.Add(IntProp("Size", &TFont::SetSize));
    i.Add(ColorProp("Color", &TFont::SetColor));
    i.Add(SetProp<TFont, TFontStyles, TFontStyle>("Style", &TFont::SetStyle, kFontStyleNames));
    i.Add(TPropInfo{"Charset", [](TObject* o, const TFormValue& v, TReader&) {
                      auto* font = static_cast<TFont*>(o);
                      if (v.kind == TFormValue::Kind::Integer && v.integer >= 0 && v.integer <= 255) {
                        font->SetCharsetValue(v.integer);
                        return;
                      }
                      if (v.kind == TFormValue::Kind::Ident)
                        for (const auto& c : kCharsets)
                          if (SameNameCI(v.text, c.name)) {
                            font->SetCharsetValue(c.value);
                            return;
                          }
                      throw EConvertError("Invalid property value");
                    }, nullptr});
    return i;
  }();
  return &info;
}

const TClassInfo* TFont::ClassInfo() const { return StaticClassInfo(); }

void TFont::Changed() {
  if (OnChange.Assigned()) OnChange(this);
}

void TFont::SetName(const std::string& name) {
  if (name_ == name) return;
  name_ = name;
  Changed();
}

void TFont::SetHeight(int height) {
  if (height_ == height) return;
  height_ = height;
  Changed();
}

// Points at 96 pixels per inch, rounded as the platform's MulDiv does.
int TFont::Size() const { return -((height_ * 72 + (height_ < 0 ? -48 : 48)) / 96); }

void TFont::SetSize(int points) { SetHeight(-((points * 96 + 36) / 72)); }

void TFont::SetColor(TColor color) {
  if (color_ == color) return;
  color_ = color;
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style_ == style) return;
  style_ = style;
  Changed();
}

void TFont::SetCharset(TFontCharset charset) {
  if (charset_ == charset) return;
  charset_ = charset;
  Changed();
}

void TFont::Assign(TPersistent* source) {
  if (auto* font = dynamic_cast<TFont*>(source)) {
    if (name_ == font->name_ && height_ == font->height_ && color_ == font->color_ &&
        style_ == font->style_ && charset_ == font->charset_)
      return;
    name_ = font->name_;
    height_ = font->height_;
    color_ = font->color_;
    style_ = font->style_;
    charset_ = font->charset_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

QFont ToQFont(const TFont& font) {
  QFont f;
  // The classic faces are not on this desktop: a sans-serif face with
  // metrics close to theirs stands in, at the same pixel size.
  QStringList families;
  const std::string& name = font.Name();
  if (!name.empty() && !SameNameCI(name, "MS Sans Serif") && !SameNameCI(name, "Microsoft Sans Serif") &&
      !SameNameCI(name, "Tahoma") && !SameNameCI(name, "Arial"))
    families << ToQ(name);
  families << "Liberation Sans" << "Arimo" << "Nimbus Sans" << "Helvetica" << "DejaVu Sans";
  f.setFamilies(families);
  f.setStyleHint(QFont::SansSerif);
  const int pixels = std::abs(font.Height());
  f.setPixelSize(pixels > 0 ? pixels : 11);
  f.setBold(font.Style().Contains(fsBold));
  f.setItalic(font.Style().Contains(fsItalic));
  f.setUnderline(font.Style().Contains(fsUnderline));
  f.setStrikeOut(font.Style().Contains(fsStrikeOut));
  return f;
}

// --- TBitmap --------------------------------------------------------------------

TBitmap::TBitmap() : image_(std::make_unique<QImage>()) {}

TBitmap::~TBitmap() = default;

const TClassInfo* TBitmap::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TBitmap", TPersistent::StaticClassInfo());
    i.Add(TPropInfo{"Data", [](TObject* o, const TFormValue& v, TReader&) {
                      if (v.kind != TFormValue::Kind::Binary) throw EConvertError("Invalid property value");
                      static_cast<TBitmap*>(o)->LoadFromData(v.text);
                    }, nullptr});
    return i;
  }();
  return &info;
}

const TClassInfo* TBitmap::ClassInfo() const { return StaticClassInfo(); }

void TBitmap::Changed() {
  if (OnChange.Assigned()) OnChange(this);
}

void TBitmap::LoadFromResourceName(HINSTANCE, const std::string& name) {
  const std::string* data = FindResource(name);
  if (!data) throw EResNotFound("Resource " + name + " not found");
  LoadFromData(*data);
}

void TBitmap::LoadFromData(const std::string& bytes) {
  std::string_view view(bytes);
  // Form files put the stream's length in front of the bitmap file.
  if (view.size() > 6 && view.substr(0, 2) != "BM" && view.substr(4, 2) == "BM") view.remove_prefix(4);
  QImage loaded;
  if (!loaded.loadFromData(reinterpret_cast<const uchar*>(view.data()), static_cast<int>(view.size()),
                           "BMP"))
    throw EInvalidGraphic("Bitmap image is not valid");
  *image_ = loaded.convertToFormat(QImage::Format_RGB32);
  Changed();
}

void TBitmap::SaveToFile(const std::string& path) const {
  if (!image_->save(ToQ(path))) throw Exception("Cannot save the image to " + path);
}

int TBitmap::Width() const { return image_->width(); }
int TBitmap::Height() const { return image_->height(); }

void TBitmap::SetSize(int width, int height) {
  if (width <= 0 || height <= 0) {
    *image_ = QImage();
  } else {
    QImage sized(width, height, QImage::Format_RGB32);
    sized.fill(Qt::white);
    QPainter p(&sized);
    p.drawImage(0, 0, *image_);
    p.end();
    *image_ = std::move(sized);
  }
  Changed();
}

bool TBitmap::Empty() const { return image_->isNull(); }

void TBitmap::SetTransparent(bool transparent) {
  if (transparent_ == transparent) return;
  transparent_ = transparent;
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (transparentMode_ == tmFixed && transparentColor_ != clDefault) return transparentColor_;
  if (image_->isNull()) return clDefault;
  return FromQColor(QColor(image_->pixel(0, image_->height() - 1)));
}

void TBitmap::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  transparentMode_ = color == clDefault ? tmAuto : tmFixed;
  Changed();
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TCanvas>();
    canvas_->AttachBitmap(this);
  }
  return canvas_.get();
}

void TBitmap::Assign(TPersistent* source) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    if (bitmap == this) return;
    *image_ = *bitmap->image_;
    transparent_ = bitmap->transparent_;
    transparentMode_ = bitmap->transparentMode_;
    transparentColor_ = bitmap->transparentColor_;
    Changed();
    return;
  }
  if (!source) {
    *image_ = QImage();
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TBitmap::AssignTo(TPersistent* dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(this);
    return;
  }
  TPersistent::AssignTo(dest);
}

const QImage& TBitmap::Image() const { return *image_; }
QImage& TBitmap::MutableImage() { return *image_; }

// The image as drawn: with the transparent colour's pixels see-through.
namespace {
QImage DrawnImage(const TBitmap& bitmap) {
  const QImage& image = bitmap.Image();
  if (!bitmap.Transparent()) return image;
  const QRgb key = ToQColor(bitmap.TransparentColor()).rgb();
  QImage masked = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < masked.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
    for (int x = 0; x < masked.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
  }
  return masked;
}
}  // namespace

QImage TransparentImage(const TBitmap& bitmap) { return DrawnImage(bitmap); }

// --- TCanvas --------------------------------------------------------------------

TCanvas::TCanvas() : font_(std::make_unique<TFont>()) {}
TCanvas::~TCanvas() = default;

QPainter* TCanvas::Painter() const { return painter_; }
void TCanvas::AttachPainter(QPainter* painter) { painter_ = painter; }
void TCanvas::AttachBitmap(TBitmap* bitmap) { bitmap_ = bitmap; }

namespace {
// Runs `draw` with a painter on the canvas's surface: the control's painter
// during a paint, a short-lived one on a bitmap; nothing otherwise.
template <class F>
void Paint(QPainter* painter, TBitmap* bitmap, F&& draw) {
  if (painter) {
    painter->save();
    draw(*painter);
    painter->restore();
    return;
  }
  if (bitmap && !bitmap->Empty()) {
    QPainter p(&bitmap->MutableImage());
    draw(p);
  }
}
}  // namespace

void TCanvas::Draw(int x, int y, TBitmap* bitmap) {
  if (!bitmap || bitmap->Empty()) return;
  const QImage image = DrawnImage(*bitmap);
  Paint(painter_, bitmap_, [&](QPainter& p) { p.drawImage(x, y, image); });
}

void TCanvas::StretchDraw(const TRect& rect, TBitmap* bitmap) {
  if (!bitmap || bitmap->Empty()) return;
  const QImage image = DrawnImage(*bitmap);
  Paint(painter_, bitmap_, [&](QPainter& p) {
    p.drawImage(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), image);
  });
}

void TCanvas::FillRect(const TRect& rect) {
  if (brushStyle_ == bsClear) return;
  const QColor color = ToQColor(brushColor_);
  Paint(painter_, bitmap_, [&](QPainter& p) {
    p.fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), color);
  });
}

void TCanvas::FrameRect(const TRect& rect) {
  const QColor color = ToQColor(brushColor_);
  Paint(painter_, bitmap_, [&](QPainter& p) {
    p.setPen(color);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(rect.Left, rect.Top, rect.Width() - 1, rect.Height() - 1));
  });
}

void TCanvas::MoveTo(int x, int y) { pen_ = {x, y}; }

void TCanvas::LineTo(int x, int y) {
  const QColor color = ToQColor(penColor_);
  const TPoint from = pen_;
  Paint(painter_, bitmap_, [&](QPainter& p) {
    p.setPen(color);
    p.drawLine(from.X, from.Y, x, y);
  });
  pen_ = {x, y};
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  const QFont font = ToQFont(*font_);
  const QColor color = ToQColor(font_->Color());
  const QColor back = ToQColor(brushColor_);
  const bool opaque = brushStyle_ != bsClear;
  Paint(painter_, bitmap_, [&](QPainter& p) {
    p.setFont(font);
    const QFontMetrics metrics(font);
    const QString s = ToQ(text);
    if (opaque) p.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()), back);
    p.setPen(color);
    p.drawText(x, y + metrics.ascent(), s);
  });
}

int TCanvas::TextWidth(const std::string& text) const {
  return QFontMetrics(ToQFont(*font_)).horizontalAdvance(ToQ(text));
}

int TCanvas::TextHeight(const std::string& text) const {
  (void)text;
  return QFontMetrics(ToQFont(*font_)).height();
}

TColor TCanvas::Pixel(int x, int y) const {
  if (!bitmap_ || bitmap_->Empty()) return clNone;
  const QImage& image = bitmap_->Image();
  if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return clNone;
  return FromQColor(QColor(image.pixel(x, y)));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (!bitmap_ || bitmap_->Empty()) return;
  QImage& image = bitmap_->MutableImage();
  if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return;
  image.setPixel(x, y, ToQColor(color).rgb());
}

}  // namespace vcl
