// Records the sample application on the virtual desktop, replays the recording
// in morvel_ax_sim and asks both the same requests. (gtk3-widget-factory's
// recording: its compatibility suite.)

#include "support/AppSuite.h"
#include "support/RecordedReplay.h"

namespace morvel::testing {
namespace {

using RecordingTheSampleApp = OnSampleApp;

TEST_F(RecordingTheSampleApp, ItsReplayAnswersAsTheDesktop) {
  expectReplayAgrees("contacts", *clientWindowOf(fixture_->pid()));
}

}  // namespace
}  // namespace morvel::testing
