/* Writes uemf-dibs.emf and uemf-placeable.wmf with libUEMF (Debian's libuemf-dev), as
 * scripts/make-metafile-fixtures.sh does: cc make-uemf-fixtures.c -luemf && ./a.out picture.jpg
 *
 * uemf-dibs.emf: a 60 x 40 pixel picture; a blue rectangle on the left, an 8-bit 4 x 4 DIB stretched over
 * the right half whose colour table holds only the 4 colours it uses (biClrUsed 0, as libUEMF's own test
 * pictures store it), and a StretchDIBits record carrying a JPEG file (BI_JPEG) over the whole picture.
 * uemf-placeable.wmf: a placeable WMF of 1 x 0.5 inches at 1440 units per inch with a red rectangle over
 * its left half; libUEMF counts the 22-byte placeable header in the metafile's size. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <uemf.h>
#include <uwmf.h>

static char* ReadAll(const char* name, uint32_t* size) {
    FILE* f = fopen(name, "rb");
    if (!f) return NULL;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fseek(f, 0, SEEK_SET);
    char* data = malloc((size_t)n);
    if (fread(data, 1, (size_t)n, f) != (size_t)n) return NULL;
    fclose(f);
    *size = (uint32_t)n;
    return data;
}

static int WriteEmf(const char* jpegName) {
    EMFTRACK* et;
    EMFHANDLES* eht;
    if (emf_start("uemf-dibs.emf", 100000, 25000, &et) || htable_create(128, 128, &eht)) return 1;
    U_RECTL bounds = rectl_set(pointl_set(0, 0), pointl_set(59, 39));
    U_RECTL frame = rectl_set(pointl_set(0, 0), pointl_set(1587, 1058)); /* 0.01 mm at 96 dpi */
    U_SIZEL device = sizel_set(1024, 768), millimetres = sizel_set(271, 203);
    emf_append((PU_ENHMETARECORD)U_EMRHEADER_set(bounds, frame, NULL, 0, NULL, device, millimetres, 0), et,
               U_REC_FREE);

    uint32_t brush;
    emf_append((PU_ENHMETARECORD)createbrushindirect_set(&brush, eht, logbrush_set(U_BS_SOLID, U_RGB(0, 0, 255), 0)),
               et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)selectobject_set(brush, eht), et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)selectobject_set(U_NULL_PEN, eht), et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)U_EMRRECTANGLE_set(rectl_set(pointl_set(0, 0), pointl_set(30, 40))), et, U_REC_FREE);

    /* 4 x 4 pixels, four colours: red, green, yellow, white in quarters. */
    unsigned char rgba[4 * 4 * 4];
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            unsigned char* p = rgba + 4 * (4 * y + x);
            int q = (y / 2) * 2 + x / 2;
            p[0] = q == 0 || q == 2 || q == 3 ? 255 : 0;
            p[1] = q == 1 || q == 2 || q == 3 ? 255 : 0;
            p[2] = q == 3 ? 255 : 0;
            p[3] = 255;
        }
    char* px;
    uint32_t cbPx;
    PU_RGBQUAD table;
    int colours;
    if (RGBA_to_DIB(&px, &cbPx, &table, &colours, (char*)rgba, 4, 4, 16, U_BCBM_COLOR8, 1, 1)) return 1;
    U_BITMAPINFOHEADER header = bitmapinfoheader_set(4, 4, 1, U_BCBM_COLOR8, U_BI_RGB, cbPx, 3780, 3780, 0, 0);
    PU_BITMAPINFO bmi = bitmapinfo_set(header, table);
    /* bitmapinfo_set sizes the table by biClrUsed; the record carries the colours used. */
    emf_append((PU_ENHMETARECORD)U_EMRSTRETCHDIBITS_set(
                   rectl_set(pointl_set(30, 0), pointl_set(59, 39)), pointl_set(30, 0), pointl_set(30, 40),
                   pointl_set(0, 0), pointl_set(4, 4), U_DIB_RGB_COLORS, U_SRCCOPY, bmi, cbPx, px),
               et, U_REC_FREE);

    uint32_t jpegSize;
    char* jpeg = ReadAll(jpegName, &jpegSize);
    if (!jpeg) return 1;
    U_BITMAPINFOHEADER jpegHeader = bitmapinfoheader_set(8, 8, 1, 0, U_BI_JPEG, jpegSize, 0, 0, 0, 0);
    PU_BITMAPINFO jpegBmi = bitmapinfo_set(jpegHeader, NULL);
    emf_append((PU_ENHMETARECORD)U_EMRSTRETCHDIBITS_set(bounds, pointl_set(0, 0), pointl_set(60, 40),
                                                        pointl_set(0, 0), pointl_set(8, 8), U_DIB_RGB_COLORS,
                                                        U_SRCCOPY, jpegBmi, jpegSize, jpeg),
               et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)U_EMREOF_set(0, NULL, et), et, U_REC_FREE);
    return emf_finish(et, eht) || emf_free(&et) || htable_free(&eht);
}

static int WriteWmf(void) {
    WMFTRACK* wt;
    WMFHANDLES* wht;
    if (wmf_start("uemf-placeable.wmf", 10000, 2500, &wt) || wmf_htable_create(128, 128, &wht)) return 1;
    wt->sumObjects = 0;
    U_PAIRF* size = U_PAIRF_set(1.0f, 0.5f); /* inches */
    wmf_header_append((U_METARECORD*)U_WMRHEADER_set(size, 1440), wt, U_REC_FREE);
    free(size);
    wmf_append((U_METARECORD*)U_WMRSETWINDOWORG_set(point16_set(0, 0)), wt, U_REC_FREE);
    wmf_append((U_METARECORD*)U_WMRSETWINDOWEXT_set(point16_set(1440, 720)), wt, U_REC_FREE);
    uint32_t brush;
    wmf_append((U_METARECORD*)wcreatebrushindirect_set(&brush, wht, U_WLOGBRUSH_set(U_BS_SOLID, U_RGB(255, 0, 0), 0)),
               wt, U_REC_FREE);
    wmf_append((U_METARECORD*)wselectobject_set(brush, wht), wt, U_REC_FREE);
    wmf_append((U_METARECORD*)U_WMRRECTANGLE_set(U_RECT16_set(point16_set(0, 0), point16_set(720, 720))), wt,
               U_REC_FREE);
    wmf_append((U_METARECORD*)U_WMREOF_set(), wt, U_REC_FREE);
    return wmf_finish(wt) || wmf_free(&wt) || wmf_htable_free(&wht);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s picture.jpg\n", argv[0]);
        return 2;
    }
    if (WriteEmf(argv[1])) {
        fprintf(stderr, "could not write uemf-dibs.emf\n");
        return 1;
    }
    if (WriteWmf()) {
        fprintf(stderr, "could not write uemf-placeable.wmf\n");
        return 1;
    }
    return 0;
}
