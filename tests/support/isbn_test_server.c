/* A Z39.50 and SRU server for the ISBN look-up tests, on YAZ's generic
 * frontend: it serves the ISO 2709 records of a file the test wrote.
 * Usage: isbn_test_server PORT RECORDS. A search finds the records whose
 * bytes hold a 10- or 13-character number of the query. Database "Slow"
 * answers nothing for a minute; database "Broken" serves bytes that are no
 * MARC; database "Missing" answers Bib-1 diagnostic 235 (no such database). SRU asks for MARCXML, made by YAZ from the record. */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <yaz/backend.h>
#include <yaz/diagbib1.h>
#include <yaz/marcdisp.h>
#include <yaz/oid_db.h>
#include <yaz/querytowrbuf.h>
#include <yaz/yaz-iconv.h>

#define MAX_RECORDS 64

static char* records[MAX_RECORDS];
static int record_len[MAX_RECORDS];
static int record_count;
static const char* records_path;

struct session {
    int hits[MAX_RECORDS];
    int hit_count;
    int broken;
};

static void load_records(void) {
    FILE* f = fopen(records_path, "rb");
    if (!f) return;
    static char buf[1 << 20];
    size_t n = fread(buf, 1, sizeof buf, f);
    fclose(f);
    size_t start = 0;
    record_count = 0;
    for (size_t i = 0; i < n && record_count < MAX_RECORDS; ++i) {
        if (buf[i] != 0x1D) continue;
        record_len[record_count] = (int)(i + 1 - start);
        records[record_count] = malloc(i + 1 - start);
        memcpy(records[record_count], buf + start, i + 1 - start);
        ++record_count;
        start = i + 1;
    }
}

/* Whether the record holds `term` (a run of digits or X), hyphens in the record skipped. */
static int holds(int r, const char* term, size_t len) {
    for (int i = 0; i < record_len[r]; ++i) {
        size_t k = 0;
        for (int j = i; j < record_len[r] && k < len; ++j) {
            if (records[r][j] == '-' && k > 0) continue;
            if (records[r][j] != term[k]) break;
            ++k;
        }
        if (k == len) return 1;
    }
    return 0;
}

static int search(void* handle, bend_search_rr* rr) {
    struct session* s = handle;
    s->hit_count = 0;
    s->broken = rr->num_bases > 0 && strcmp(rr->basenames[0], "Broken") == 0;
    if (rr->num_bases > 0 && strcmp(rr->basenames[0], "Slow") == 0) sleep(60);
    if (rr->num_bases > 0 && strcmp(rr->basenames[0], "Missing") == 0) {
        rr->errcode = YAZ_BIB1_DATABASE_DOES_NOT_EXIST;
        rr->errstring = "Missing";
        return 0;
    }
    WRBUF q = wrbuf_alloc();
    yaz_query_to_wrbuf(q, rr->query);
    const char* text = wrbuf_cstr(q);
    for (const char* p = text; *p;) {
        size_t len = 0;
        while (isdigit((unsigned char)p[len]) || p[len] == 'X') ++len;
        if (len == 10 || len == 13) {
            for (int r = 0; r < record_count; ++r)
                if (holds(r, p, len)) {
                    int seen = 0;
                    for (int k = 0; k < s->hit_count; ++k) seen |= s->hits[k] == r;
                    if (!seen) s->hits[s->hit_count++] = r;
                }
        }
        p += len ? len : 1;
    }
    wrbuf_destroy(q);
    if (s->broken) s->hit_count = 1;
    rr->hits = s->hit_count;
    return 0;
}

static int fetch(void* handle, bend_fetch_rr* rr) {
    struct session* s = handle;
    if (rr->number < 1 || rr->number > s->hit_count) {
        rr->errcode = YAZ_BIB1_PRESENT_REQUEST_OUT_OF_RANGE;
        return 0;
    }
    const char* bytes = records[s->hits[rr->number - 1]];
    int len = record_len[s->hits[rr->number - 1]];
    if (s->broken) {
        bytes = "this is no MARC record, not even its leader";
        len = (int)strlen(bytes);
    }
    if (rr->request_format && !oid_oidcmp(rr->request_format, yaz_oid_recsyn_xml)) {
        yaz_marc_t mt = yaz_marc_create();
        yaz_iconv_t cd = yaz_iconv_open("utf-8", bytes[9] == 'a' ? "utf-8" : "marc8");
        yaz_marc_xml(mt, YAZ_MARC_MARCXML);
        yaz_marc_iconv(mt, cd);
        const char* out = 0;
        size_t out_len = 0;
        if (yaz_marc_decode_buf(mt, bytes, len, &out, &out_len) > 0) {
            rr->record = odr_malloc(rr->stream, out_len);
            memcpy(rr->record, out, out_len);
            rr->len = (int)out_len;
        } else {
            rr->record = odr_strdup(rr->stream, "<record><oops");
            rr->len = (int)strlen(rr->record);
        }
        yaz_marc_iconv(mt, 0);
        yaz_iconv_close(cd);
        yaz_marc_destroy(mt);
        rr->output_format = odr_oiddup(rr->stream, yaz_oid_recsyn_xml);
        return 0;
    }
    rr->record = odr_malloc(rr->stream, len);
    memcpy(rr->record, bytes, len);
    rr->len = len;
    rr->output_format = odr_oiddup(rr->stream, yaz_oid_recsyn_usmarc);
    return 0;
}

static bend_initresult* init(bend_initrequest* q) {
    bend_initresult* r = odr_malloc(q->stream, sizeof(*r));
    r->errcode = 0;
    r->errstring = 0;
    r->handle = calloc(1, sizeof(struct session));
    q->bend_search = search;
    q->bend_fetch = fetch;
    return r;
}

static void close_session(void* handle) { free(handle); }

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    records_path = argv[2];
    /* Read once, before the threads that serve connections start: they only read them. */
    load_records();
    char listen[64];
    snprintf(listen, sizeof listen, "tcp:127.0.0.1:%s", argv[1]);
    /* Threads: the slow database must not hold the other connections. */
    char* args[] = {argv[0], "-T", "-l", "/dev/null", listen, 0};
    return statserv_main(5, args, init, close_session);
}
