// morvel_ax_helper on a desktop where applications scale themselves: the
// sample contacts application at GDK_SCALE=2, FeatherPad (Qt 5) at
// QT_SCALE_FACTOR=1.5 and an unscaled contacts window beside them. The
// applications report their extents in their own units; every frame the helper
// answers and every point it is asked about are the X server's pixels. Runs on
// a desktop of its own with a screen large enough for the scaled windows.

#include "accessibility/AXNames.h"
#include "support/AppSuite.h"

#include <cmath>

namespace morvel::testing {
namespace {

// Rounding of a toolkit's logical units onto pixels, at most one unit's worth.
constexpr double edgeSlack = 2;

// Where the windows go, apart, so that no window covers another's controls.
constexpr int scaledGtkX = 20;
constexpr int scaledQtX = 1200;
constexpr int windowsTop = 40;
constexpr int unscaledTop = 900;

Json atPoint(const char* command, double x, double y) { return {{"cmd", command}, {"x", x}, {"y", y}}; }

void expectNear(const Json& frame, const ScreenRect& rect) {
  ASSERT_TRUE(frame.is_object()) << frame;
  EXPECT_NEAR(frame["x"].get<double>(), rect.x, edgeSlack) << frame;
  EXPECT_NEAR(frame["y"].get<double>(), rect.y, edgeSlack) << frame;
  EXPECT_NEAR(frame["w"].get<double>(), rect.width, edgeSlack) << frame;
  EXPECT_NEAR(frame["h"].get<double>(), rect.height, edgeSlack) << frame;
}

// The frame lies within `rect`, give or take the rounding.
bool inside(const Json& frame, const ScreenRect& rect) { return within(frame, frameJson(rect), edgeSlack); }

Json regionOf(const Json& frame) {
  return {{"cmd", "ocr-region"}, {"x", frame["x"]}, {"y", frame["y"]}, {"w", frame["w"]}, {"h", frame["h"]}};
}

class ScaledDesktop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    featherPad_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"featherpad"},
        std::map<std::string, std::optional<std::string>>{
            {"QT_SCALE_FACTOR", "1.5"}, {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_ACCESSIBILITY", "1"}});
    unscaled_ = std::make_unique<FixtureApplication>();
    scaledGtk_ = std::make_unique<FixtureApplication>(std::vector<std::string>{MORVEL_CONTACTS_APP_PATH},
                                                      std::map<std::string, std::optional<std::string>>{
                                                          {"GDK_SCALE", "2"}});
    placed_ = clientWindowOf(featherPad_->pid()) && unscaled_->started() && scaledGtk_->started() &&
              moveWindowOf(featherPad_->pid(), scaledQtX, windowsTop) &&
              moveWindowOf(unscaled_->pid(), scaledQtX, unscaledTop) &&
              moveWindowOf(scaledGtk_->pid(), scaledGtkX, windowsTop);
    helper_ = std::make_unique<HelperProcess>();
  }
  static void TearDownTestSuite() {
    helper_.reset();
    scaledGtk_.reset();
    unscaled_.reset();
    featherPad_.reset();
  }
  void SetUp() override { ASSERT_TRUE(placed_) << "the applications' windows did not come up where they were put"; }

  static Json ask(const Json& request) { return helper_->ask(request).value_or(Json::object()); }

  static inline std::unique_ptr<ChildProcess> featherPad_;
  static inline std::unique_ptr<FixtureApplication> unscaled_;
  static inline std::unique_ptr<FixtureApplication> scaledGtk_;
  static inline std::unique_ptr<HelperProcess> helper_;
  static inline bool placed_ = false;
};

TEST_F(ScaledDesktop, ControlsOfAWindowAtTwiceTheScaleAreFoundAndFramedInScreenPixels) {
  constexpr int gdkScale = 2;
  ASSERT_TRUE(activateWindowOf(scaledGtk_->pid()));
  for (const char* widget : {"add", "name"}) {
    SCOPED_TRACE(widget);
    const ScreenRect onScreen = scaledGtk_->frameOf(widget, gdkScale);
    const Json hit = ask(atCentreOf("element-at", onScreen));
    ASSERT_EQ(hit["found"], true) << hit;
    expectNear(hit["frame"], onScreen);

    Json selector = ask(atCentreOf("selector-at", onScreen));
    ASSERT_EQ(selector["found"], true) << selector;
    const Json found = ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}});
    ASSERT_EQ(found["found"], true) << found;
    expectNear(found["frame"], onScreen);
  }

  const Json fields = ask({{"cmd", "fields"}});
  const Json* name = nullptr;
  for (const Json& field : fields["fields"]) {
    if (field.value("label", "") == "Name") name = &field;
  }
  ASSERT_NE(name, nullptr) << fields;
  expectNear((*name)["frame"], scaledGtk_->frameOf("name", gdkScale));

  const Json structure = ask({{"cmd", "structure"}});
  ASSERT_GE(structure["rows"].size(), 2u) << structure;
  const ScreenRect table = scaledGtk_->frameOf("table", gdkScale);
  for (const Json& row : structure["rows"]) EXPECT_TRUE(inside(row["frame"], table)) << row << " in the table's rows";
  expectNear(structure["addAffordance"]["frame"], scaledGtk_->frameOf("add", gdkScale));

  // The frame holds the pixels the control shows.
  const Json text = ask(regionOf(ask(atCentreOf("element-at", scaledGtk_->frameOf("add", gdkScale)))["frame"]));
  EXPECT_NE(text.value("text", "").find("Add"), std::string::npos) << text;
}

TEST_F(ScaledDesktop, AQtWindowAtOneAndAHalfTimesTheScaleAnswersInScreenPixels) {
  ASSERT_TRUE(activateWindowOf(featherPad_->pid()));
  const auto client = clientWindowOf(featherPad_->pid());
  ASSERT_TRUE(client);
  // Over the first item of the menu bar, at the window's top left.
  const double x = client->x + 15;
  const double y = client->y + 12;
  Json hit;
  ASSERT_TRUE(eventually([&] { return (hit = ask(atPoint("element-at", x, y)))["found"] == true; }, startupTimeout))
      << hit;
  EXPECT_EQ(hit.value("title", ""), "File") << hit;
  EXPECT_TRUE(holds(hit["frame"], x, y, 0)) << hit;
  EXPECT_TRUE(inside(hit["frame"], *client)) << hit;

  const Json selector = ask(atPoint("selector-at", x, y));
  ASSERT_EQ(selector["found"], true) << selector;
  const Json found = ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}});
  ASSERT_EQ(found["found"], true) << found;
  EXPECT_EQ(found["frame"], hit["frame"]);

  const Json text = ask(regionOf(hit["frame"]));
  EXPECT_NE(text.value("text", "").find("File"), std::string::npos) << text;

  // The editor spans the window's width; the search bar's fields lie in it too.
  const Json fields = ask({{"cmd", "fields"}});
  ASSERT_FALSE(fields["fields"].empty()) << fields;
  const Json& editor = fields["fields"][0];
  EXPECT_EQ(editor["role"], ax::AXTextArea);
  EXPECT_NEAR(editor["frame"]["x"].get<double>(), client->x, edgeSlack) << editor;
  EXPECT_NEAR(editor["frame"]["w"].get<double>(), client->width, edgeSlack) << editor;
  for (const Json& field : fields["fields"]) EXPECT_TRUE(inside(field["frame"], *client)) << field;
}

TEST_F(ScaledDesktop, AnUnscaledWindowBesideScaledOnesAnswersExactlyAsAlone) {
  const ScreenRect add = unscaled_->frameOf("add");
  const Json hit = ask(atCentreOf("element-at", add));
  ASSERT_EQ(hit["found"], true) << hit;
  EXPECT_EQ(hit["role"], ax::AXButton);
  EXPECT_EQ(hit["frame"], frameJson(add));
}

}  // namespace
}  // namespace morvel::testing
