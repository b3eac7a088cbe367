#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPalette>

#include "views/home/home_fixture.h"
#include "views/home/home_modals.h"
#include "views/home/home_samples.h"
#include "views/home/items_table.h"

namespace hl {
namespace {

void save(QWidget& widget, const char* name) {
  QDir().mkpath(QStringLiteral(HL_SCREENSHOT_DIR));
  const QString path = QStringLiteral(HL_SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name));
  ASSERT_TRUE(widget.grab().save(path)) << path.toStdString();
}

QPalette lightPalette() {
  QPalette palette = QApplication::palette();
  palette.setColor(QPalette::Window, QColor(246, 246, 247));
  palette.setColor(QPalette::WindowText, QColor(28, 28, 30));
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, QColor(28, 28, 30));
  palette.setColor(QPalette::Highlight, QColor(0, 122, 255));
  palette.setColor(QPalette::PlaceholderText, QColor(60, 60, 67, 158));
  return palette;
}

TEST(HomeScreenshots, TableAndSheet) {
  const QPalette saved = QApplication::palette();
  QApplication::setPalette(lightPalette());
  test::HomeHarness h;
  const std::string home = h.scratch;
  h.scan(test::sampleHome(home, test::referenceDate()));
  h->setChecked(home + "/.npm/_cacache", true);
  h->setChecked(home + "/.cache/pip", true);
  h->setTableSelection({home + "/.cache/pip"});
  {
    ItemsTable table(*h);
    table.setClock(h.wall.clock());
    test::showAt(table, 1000, 720);
    save(table, "home-table-wide");
    table.resize(720, 520);
    QApplication::processEvents();
    save(table, "home-table-narrow");
  }
  {
    QWidget host;
    test::showAt(host, 900, 700);
    HomeModals modals(*h, h.settings, &host, h.monotonic.clock(), h.wall.clock());
    h->requestTrash();
    h.executor->settle();
    ASSERT_NE(modals.sheet(), nullptr);
    QApplication::processEvents();
    save(*modals.sheet(), "home-sheet");
  }
  QApplication::setPalette(saved);
}

}  // namespace
}  // namespace hl
