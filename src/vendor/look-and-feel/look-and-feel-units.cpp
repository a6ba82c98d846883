#include "look-and-feel-units.h"

#include "gx-core.h"
#include "gx-office11.h"
#include "gx-themes.h"
#include "kx-components.h"
#include "kx-geometry.h"
#include "kx-graphics.h"
#include "kx-look-and-feels.h"

// Each unit uses only what the ones before it made: the theme binding comes
// before the manager that asks it, the painters before the root that picks
// one of them, the repository (made on demand) before the strings.
const TUnitStep kLookAndFeelUnits[15] = {
    {L"gxCore", &gxCoreStartup, &gxCoreShutdown},
    {L"gxCoreClasses", nullptr, nullptr},
    {L"gxUxTheme", &gxUxThemeStartup, &gxUxThemeShutdown},
    {L"gxThemeManager", &gxThemeManagerStartup, &gxThemeManagerShutdown},
    {L"gxOffice11", &gxOffice11Startup, &gxOffice11Shutdown},
    {L"kxGeometry", &kxGeometryStartup, &kxGeometryShutdown},
    {L"kxDrawTextUtils", nullptr, &kxDrawTextUtilsShutdown},
    {L"kxLookAndFeelPainters", &kxLookAndFeelPaintersStartup, &kxLookAndFeelPaintersShutdown},
    {L"kxLookAndFeels", &kxLookAndFeelsStartup, &kxLookAndFeelsShutdown},
    {L"kxLibraryStrs", &kxLibraryStrsStartup, &kxLibraryStrsShutdown},
    {L"kxDWMApi", &kxDWMApiStartup, &kxDWMApiShutdown},
    {L"kxClasses", &kxClassesStartup, &kxClassesShutdown},
    {L"gxGDIPlusAPI", &gxGDIPlusAPIStartup, &gxGDIPlusAPIShutdown},
    {L"gxGDIPlusClasses", &gxGDIPlusClassesStartup, &gxGDIPlusClassesShutdown},
    {L"kxGraphics", &kxGraphicsStartup, &kxGraphicsShutdown},
};
