// The material backdrop on a desktop of its own, whose compositing manager the test plays by
// holding the compositor's selection, as a compositor announces itself.
#include "Tessra/ui_foundation/visual_effect_view.h"

#include <QTest>

#include <gtest/gtest.h>

#include <string>

#include "Tessra/ui_foundation/palette.h"
#include "platform/ui/x11_connection.h"
#include "platform/ui/x11_properties.h"

namespace tessra {
namespace {

using Material = VisualEffectView::Material;
using BlendingMode = VisualEffectView::BlendingMode;
using State = VisualEffectView::State;

// Holds the screen's compositor selection with a window of its own while it lives.
class CompositorStandIn {
 public:
  CompositorStandIn() {
    xcb_connection_t* c = m_x.get();
    m_window = xcb_generate_id(c);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(c, m_window, platform::x11::atom(c, "_NET_WM_CM_S0"), XCB_CURRENT_TIME);
    xcb_flush(c);
  }
  ~CompositorStandIn() {
    xcb_destroy_window(m_x.get(), m_window);
    xcb_flush(m_x.get());
  }

 private:
  platform::X11Connection m_x;
  xcb_window_t m_window = 0;
};

struct Row {
  const char* name;
  Material material;
  BlendingMode blendingMode;
  bool isEmphasized;
  State state;
  QColor tint;
};

// The view over a red window, as its window shows it.
QColor drawnOverRed(const Row& row) {
  QWidget window;
  window.setAutoFillBackground(true);
  QPalette colors = window.palette();
  colors.setColor(QPalette::Window, Qt::red);
  window.setPalette(colors);
  window.setGeometry(300, 300, 200, 100);
  auto* view =
      new VisualEffectView(row.material, row.blendingMode, row.isEmphasized, row.state, &window);
  view->setGeometry(window.rect());
  EXPECT_EQ(view->material(), row.material);
  EXPECT_EQ(view->blendingMode(), row.blendingMode);
  EXPECT_EQ(view->isEmphasized(), row.isEmphasized);
  EXPECT_EQ(view->state(), row.state);
  EXPECT_EQ(view->tint(), row.tint);
  window.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  return window.grab().toImage().pixelColor(100, 50);
}

TEST(VisualEffectViewTest, WithoutACompositorEveryMaterialIsAFlatTint) {
  const Row rows[] = {
      {"sidebar", Material::sidebar, BlendingMode::withinWindow, false,
       State::followsWindowActiveState, palette::secondaryBackground()},
      {"menu", Material::menu, BlendingMode::behindWindow, false, State::active,
       palette::tertiaryBackground()},
      {"emphasized selection", Material::selection, BlendingMode::withinWindow, true, State::active,
       palette::accent()},
      {"plain selection", Material::selection, BlendingMode::withinWindow, false, State::inactive,
       palette::selectedRow()},
  };
  ASSERT_FALSE(platform::x11::isCompositorRunning(platform::x11::connection()));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(drawnOverRed(row), row.tint);
  }
}

TEST(VisualEffectViewTest, OverACompositorOnlyAnActiveMaterialWithinItsWindowLetsItShow) {
  CompositorStandIn compositor;
  ASSERT_TRUE(QTest::qWaitFor(
      [] { return platform::x11::isCompositorRunning(platform::x11::connection()); }, 5000));
  const QColor tint = palette::secondaryBackground();
  const struct {
    Row row;
    bool translucent;
  } cases[] = {
      {{"active, within the window", Material::sidebar, BlendingMode::withinWindow, false,
        State::active, tint},
       true},
      {{"behind a window that lets nothing through", Material::sidebar, BlendingMode::behindWindow,
        false, State::active, tint},
       false},
      {{"inactive", Material::sidebar, BlendingMode::withinWindow, false, State::inactive, tint},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row.name);
    const QColor drawn = drawnOverRed(c.row);
    if (c.translucent) {
      // The red beneath shows through the tint, which still dominates.
      EXPECT_GT(drawn.red(), tint.red() + 20) << drawn.name().toStdString();
      EXPECT_LT(drawn.red(), 128) << drawn.name().toStdString();
    } else {
      EXPECT_EQ(drawn, tint);
    }
  }
}

}  // namespace
}  // namespace tessra
