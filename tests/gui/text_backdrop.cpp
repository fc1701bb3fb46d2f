#include "tests/gui/text_backdrop.h"

#include <algorithm>
#include <cstdlib>

#include "tools/sample_data/sample_look.h"

namespace text_backdrop {

namespace {

Box boxOf(const CEGUI::Rectf& r) { return {r.left(), r.top(), r.right(), r.bottom()}; }

bool isText(const CEGUI::Window& w) {
  const CEGUI::String type = w.getType();
  return type == "Quillfen/StaticText" || type == "Quillfen/Button";
}

std::uint32_t parseColour(const CEGUI::String& value) {
  const std::string s = value.c_str();
  const std::size_t at = s.find("tl:");
  return static_cast<std::uint32_t>(
      std::strtoul(s.substr(at == std::string::npos ? 0 : at + 3, 8).c_str(), nullptr, 16));
}

}  // namespace

std::vector<CEGUI::String> wrap(const CEGUI::Font& font, const CEGUI::String& text, float width) {
  std::vector<CEGUI::String> lines;
  CEGUI::String line;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = text.find(' ', i);
    if (end == CEGUI::String::npos) end = text.size();
    const CEGUI::String word = text.substr(i, end - i);
    const CEGUI::String candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && font.getTextExtent(candidate) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
    i = end + 1;
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

Measured measure(const CEGUI::Window& window) {
  Measured m;
  const CEGUI::Rectf outer = window.getUnclippedOuterRect().get();
  const CEGUI::Rectf clipped = window.getOuterRectClipper();
  m.window = boxOf(clipped);
  const CEGUI::Font& font = *window.getFont();
  const std::string horizontal = window.getType() == "Quillfen/Button"
                                     ? std::string("CentreAligned")
                                     : std::string(window.getProperty("HorzFormatting").c_str());
  const std::string vertical = window.getType() == "Quillfen/Button"
                                   ? std::string("CentreAligned")
                                   : std::string(window.getProperty("VertFormatting").c_str());
  m.wrapped = horizontal.rfind("WordWrap", 0) == 0;
  std::vector<CEGUI::String> lines =
      m.wrapped ? wrap(font, window.getText(), outer.getWidth()) : std::vector<CEGUI::String>{window.getText()};
  float width = 0;
  for (const CEGUI::String& line : lines) width = std::max(width, font.getTextExtent(line));
  const float height = font.getLineSpacing() * static_cast<float>(lines.size() - 1) + font.getFontHeight();
  if (horizontal.find("Right") != std::string::npos)
    m.text.left = outer.right() - width;
  else if (horizontal.find("Centre") != std::string::npos)
    m.text.left = (outer.left() + outer.right() - width) / 2;
  else
    m.text.left = outer.left();
  m.text.right = m.text.left + width;
  if (vertical == "TopAligned")
    m.text.top = outer.top();
  else if (vertical == "BottomAligned")
    m.text.top = outer.bottom() - height;
  else
    m.text.top = (outer.top() + outer.bottom() - height) / 2;
  m.text.bottom = m.text.top + height;
  return m;
}

std::uint32_t textColour(const CEGUI::Window& window) {
  if (window.getType() == "Quillfen/Button") return sample_look::kButtonText;
  return parseColour(window.getProperty("TextColours"));
}

const Canvas* Backdrop::picture(const CEGUI::String& imageProperty) {
  const std::string name = imageProperty.c_str();
  const std::size_t slash = name.find('/');
  if (slash == std::string::npos) return nullptr;
  const std::string set = name.substr(0, slash);
  auto it = m_sets.find(set);
  if (it == m_sets.end()) it = m_sets.emplace(set, drawImageset(set)).first;
  return findPicture(it->second, name.substr(slash + 1));
}

double Backdrop::lowestContrast(const CEGUI::Window& subject, const Box& box, std::uint32_t colour,
                                const std::vector<Box>& unknown) {
  // The windows that paint under the text, in draw order: every window before
  // the subject in its root's tree that is shown (or holds the subject) and
  // overlaps the box. Always-on-top children draw after their siblings.
  struct Layer {
    const CEGUI::Window* window;
    Box area;
  };
  std::vector<Layer> layers;
  bool reached = false;
  const auto visit = [&](const auto& self, const CEGUI::Window& w) -> void {
    if (reached) return;
    if (&w == &subject) {
      reached = true;
      return;
    }
    const bool holdsSubject = subject.isAncestor(&w);
    if (!holdsSubject && !w.isVisible()) return;
    const Box area = boxOf(w.getUnclippedOuterRect().get());
    if (overlaps(area, box) && !isText(w)) layers.push_back({&w, area});
    std::vector<const CEGUI::Window*> children;
    for (std::size_t i = 0; i < w.getChildCount(); ++i)
      if (!w.getChildAtIdx(i)->isAlwaysOnTop()) children.push_back(w.getChildAtIdx(i));
    for (std::size_t i = 0; i < w.getChildCount(); ++i)
      if (w.getChildAtIdx(i)->isAlwaysOnTop()) children.push_back(w.getChildAtIdx(i));
    for (const CEGUI::Window* c : children) self(self, *c);
  };
  const CEGUI::Window* root = &subject;
  while (root->getParent()) root = root->getParent();
  visit(visit, *root);

  double lowest = 21.0;
  for (float y = std::floor(box.top) + 0.5f; y < box.bottom; y += 2)
    for (float x = std::floor(box.left) + 0.5f; x < box.right; x += 2) {
      const bool open = std::any_of(unknown.begin(), unknown.end(), [&](const Box& b) {
        return x >= b.left && x < b.right && y >= b.top && y < b.bottom;
      });
      for (std::uint32_t base : {0xFF000000u, 0xFFFFFFFFu}) {
        if (base == 0xFFFFFFFFu && !open) continue;
        std::uint32_t pixel = base;
        for (const Layer& l : layers) {
          if (x < l.area.left || x >= l.area.right || y < l.area.top || y >= l.area.bottom) continue;
          const float u = (x - l.area.left) / (l.area.right - l.area.left);
          const float v = (y - l.area.top) / (l.area.bottom - l.area.top);
          const CEGUI::String type = l.window->getType();
          std::uint32_t paint = 0;
          if (type == "Quillfen/StaticImage" || type == "Quillfen/ImageButton") {
            const CEGUI::String property = type == "Quillfen/ImageButton" ? "NormalImage" : "Image";
            const Canvas* p =
                l.window->isPropertyPresent(property) ? picture(l.window->getProperty(property)) : nullptr;
            if (p)
              paint = p->at(std::min(p->width() - 1, static_cast<int>(u * static_cast<float>(p->width()))),
                            std::min(p->height() - 1, static_cast<int>(v * static_cast<float>(p->height()))));
          } else if (type == "Quillfen/FrameWindow") {
            const bool border =
                x < l.area.left + 2 || x >= l.area.right - 2 || y < l.area.top + 2 || y >= l.area.bottom - 2;
            paint = border ? sample_look::kFrameBorder : sample_look::kFrameClient;
          } else if (type == "Quillfen/BlackWindow") {
            paint = sample_look::kBlackPanel;
          } else if (type == "Quillfen/Editbox") {
            paint = sample_look::kEditBox;
          }
          pixel = over(paint, pixel);
        }
        lowest = std::min(lowest, contrastRatio(colour, pixel));
      }
    }
  return lowest;
}

}  // namespace text_backdrop
