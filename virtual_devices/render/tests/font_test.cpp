#include <gtest/gtest.h>
#include <cstdio>
#include "virtual_devices/receipt_fonts.h"
using namespace vdev;
TEST(Dump, B) {
  auto l = LoadFontFile("/usr/share/fonts/X11/misc/9x18.pcf.gz");
  ASSERT_TRUE(l.font) << l.error;
  for (char32_t c : {U'g', U'A', U'É', U'j', U'_', U'|'}) {
    for (int y = 0; y < l.font->height(); ++y) { for (int x = 0; x < l.font->width(); ++x) putchar(l.font->Dot(c,x,y)?'#':'.'); putchar('\n'); }
    putchar('\n');
  }
  int top=0,bot=0; for (char32_t c=0x20;c<0x7f;++c) for(int x=0;x<9;++x){top+=l.font->Dot(c,x,0);bot+=l.font->Dot(c,x,17);}
  printf("top %d bottom %d\n", top, bot);
  auto a = LoadFontFile("/usr/share/consolefonts/Uni2-Terminus24x12.psf.gz");
  ASSERT_TRUE(a.font) << a.error;
  for (char32_t c : {U'g', U'Ä'}) { for (int y = 0; y < a.font->height(); ++y) { for (int x = 0; x < a.font->width(); ++x) putchar(a.font->Dot(c,x,y)?'#':'.'); putchar('\n'); } }
}
