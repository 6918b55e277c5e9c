// The modal progress window of the zip service: two meters and a status line, and the zip or
// unzip job that a timer trigger starts once the window is on screen.
#pragma once

#include "framework/forms/QsDbCtrl.h"
#include "framework/forms/aRoot.h"
#include "zip/engine/ZpMeter.h"
#include "zip/service/uZipJob.h"

class TCtlTimerPool;

class TfrmZipProgress : public TabsRoot {
public:
  static constexpr int FormClientWidth = 528;
  static constexpr int FormClientHeight = 53;
  static constexpr int MeterHeight = 14;
  static constexpr uint32_t JobTriggerInterval = 100;

  explicit TfrmZipProgress(TComponent* AOwner);
  ~TfrmZipProgress() override;
  AnsiString ClassName() const override { return "TfrmZipProgress"; }

  // The job fields and the zip kit.
  TZipJob& Job() { return FJob; }
  TZpZipKit& zkt() { return FJob.zkt(); }
  TZpMeter* mtrZipProgress() const { return FZipProgress; }
  TZpMeter* mtrItemProgress() const { return FItemProgress; }
  TQslLabel* lblProgress() const { return FProgress; }

  void FormCreate(TObject* Sender) override;
  void FormShow(TObject* Sender) override;
  void FormDestroy(TObject* Sender) override;
  // The trigger's event: runs the job once and sets the modal result.
  void RunZipJob(TCtlTimerPool* Sender, int Handle, uint32_t Interval, int ElapsedTime);

private:
  // The pool variable and the pool it holds both have to be there.
  TCtlTimerPool* Pool() const;
  void SetStatus(const AnsiString& text);

  TZipJob FJob;
  TZpMeter* FZipProgress = nullptr;   // owned by the form
  TZpMeter* FItemProgress = nullptr;  // owned by the form
  TQslLabel* FProgress = nullptr;     // owned by the form
};
