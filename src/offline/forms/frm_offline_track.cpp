// Path tracking of a 6-well run on the plot picture: the plate drawn, the track
// prepared from the run's counts records and raw blocks, played back one sample per
// 20 ms tick with its pictures, or run through at once; the travel-distance CSV and
// the picture export.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "offline/forms/frm_offline.h"
#include "offline/page_reanalysis.h"
#include "platform/dialogs.h"
#include "ui/controls.h"
#include "ui/events.h"
#include "ui/frame.h"
#include "ui/plot_paint.h"
#include "xlsx/number_text.h"

namespace offline {

namespace {

// The data export lets the window breathe once a block.
constexpr int64_t kStepsBetweenEvents = kBlockSamples;

}  // namespace

double Frm_offline::TrackThreshold() {
  const ThresholdChoice threshold = ReadThresholdBox(frmtxt_threshold->text().toStdString());
  if (threshold.replaced)
    frmtxt_threshold->setText(QString::fromStdString(
        ThresholdBoxText(threshold.value, xlsx::UserNumberLocale().decimal_point)));
  return threshold.value;
}

void Frm_offline::cmd_track_Click() {
  if (raw_busy_ || !run_loaded_) return;
  // A track played to its end (its CSV written) is not played again: a new one starts.
  if (View_Mode != 6 || !tracker_ || tracker_->Finished()) {
    PrepareTrack();
    return;
  }
  if (Timer_play.isActive()) {
    Timer_play.stop();
  } else {
    StartPlayback();
  }
}

void Frm_offline::PrepareTrack() {
  Timer_play.stop();
  if (!RawViewsAllowed()) return;
  tracker_.reset();
  Frame_bisize->hide();
  View_Mode = 6;
  chk_bmp->show();
  PaintPicture(TrackWellsPicture(run_));
  Txtpage->setText("0");
  Txtpage->show();
  ArrangeRawViews();
  const TrackStart start = ReadTrackStart(run_.Chosen_Run_Path, run_.Run_RT_Buffer);
  if (!start.message.empty()) {
    platform::GetDialogs().MsgBox(start.message);
    return;
  }
  tracker_ = std::make_unique<PathTracker>(
      MakeTrackPlate(run_), start.record_times,
      std::make_unique<RawTrackMarks>(run_.Chosen_Run_Path, run_.Run_RT_Buffer), TrackThreshold());
}

void Frm_offline::StartPlayback() {
  if (ui::IsTicked(*chk_bmp)) {
    // One picture per step: asked first when that makes many files.
    const int64_t pictures = tracker_->TotalSteps() - tracker_->play_position;
    const std::filesystem::path folder = run_.Chosen_Run_Path / "bmp";
    if (pictures > kManyTrackPictures &&
        !platform::GetDialogs().AskYesNo(ManyTrackPicturesQuestion(pictures, folder)))
      return;
    const std::string message = MakeTrackPictureFolder(run_.Chosen_Run_Path);
    if (!message.empty()) {
      platform::GetDialogs().MsgBox(message);
      return;
    }
  }
  pictures_failed_ = false;
  tracker_->SetThreshold(TrackThreshold());
  Timer_play.setInterval(kPlaybackIntervalMs);
  Timer_play.start();
}

void Frm_offline::Timer_play_Timer() {
  Timer_play.stop();
  if (View_Mode != 6 || !tracker_) return;
  if (!tracker_->Finished()) {
    ++tracker_->play_position;
    ComputeTrack(true);
    if (View_Mode == 6) Timer_play.start(kPlaybackIntervalMs);
    return;
  }
  const std::string message = ExportTravelDistance(run_, *tracker_);
  if (!message.empty()) platform::GetDialogs().MsgBox(message);
}

void Frm_offline::ComputeTrack(bool draw) {
  ui::DrawPlan plan;
  tracker_->Step(draw ? &plan : nullptr);
  if (!draw) return;
  Txtpage->setText(QString::fromStdString(tracker_->StepText()));
  if (plan.Size() == 0) return;
  ui::PaintPlan(*Picreal, plan);
  Picreal->update();
  if (!ui::IsTicked(*chk_bmp) || pictures_failed_) return;
  const std::filesystem::path file =
      run_.Chosen_Run_Path / "bmp" / TrackPictureName(tracker_->StepNumber());
  if (!Picreal->SavePicture(QString::fromStdString(file.string()))) {
    // Told once; the playback goes on without pictures.
    pictures_failed_ = true;
    platform::GetDialogs().MsgBox("The track picture could not be written: " + file.string());
  }
}

void Frm_offline::mn_bmptrack_Click() { ExportPicture("trackimg.bmp"); }

void Frm_offline::mn_datatrack_Click() {
  Timer_play.stop();
  if (View_Mode != 6 || !tracker_ || raw_busy_) return;
  SetRawBusy(true);
  for (int64_t n = 1; !tracker_->Finished(); ++n) {
    ++tracker_->play_position;
    ComputeTrack(false);
    if (n % kStepsBetweenEvents == 0) {
      Txtpage->setText(QString::fromStdString(tracker_->StepText()));
      ui::DoEvents();
    }
  }
  Txtpage->setText(QString::fromStdString(tracker_->StepText()));
  SetRawBusy(false);
  const std::string message = ExportTravelDistance(run_, *tracker_);
  if (!message.empty()) platform::GetDialogs().MsgBox(message);
  tracker_.reset();
  View_Mode = 99;
}

}  // namespace offline
