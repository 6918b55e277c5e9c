#include "controls/ctlStartup.h"

#include "controls/ctlFixedFont.h"
#include "controls/ctlGlyphRes.h"
#include "controls/ctlIntlSup.h"
#include "controls/ctlStrRes.h"
#include "controls/ctlUserData.h"

void AddControlLibrarySteps(TModuleSteps& steps) {
  steps.Add(
      "Control library",
      [] {
        (void)CtlStringById(0);
        (void)CtlLetterSet();
        CtlIntlSupStartup();
        CtlUserDataStartup();
        CtlFixedPitchFontsStartup();
        CtlGlyphResourcesStartup();
      },
      [] {
        CtlGlyphResourcesShutdown();
        CtlFixedPitchFontsShutdown();
        CtlUserDataShutdown();
        CtlIntlSupShutdown();
      });
}
