// The percentage caption of a progress gauge: a control whose Tag holds the percentage shown.
#pragma once

class TControl;

// Does nothing when the gauge already shows Percent; the caption is limited to 0..100.
void SetGaugeProgress(TControl& Gauge, int Percent);
