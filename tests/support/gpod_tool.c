/* libgpod as an independent reader and writer of iTunesDB, for tests (read by gpod_client.cc).
 *   gpod_tool make DIR N   an iPod folder whose iTunesDB of N tracks is that of an iPod desktop
 *                          software has used: the tracks, podcasts and playlists of Make().
 *   gpod_tool make DIR N GUID  the same for an iPod classic (MB029) with that FireWire GUID in
 *                          its SysInfo: libgpod signs the file.
 *   gpod_tool dump DIR     per track in file order a "track" line of the fields Dump() prints,
 *                          then "mpl COUNT", then "playlist NAME KIND RULES IDS" per playlist.
 *   gpod_tool sign DIR     signs the iTunesDB there again, in place, with libgpod's own routine
 *                          and the GUID in the SysInfo there. Linked from libgpod.a, whose
 *                          shared library does not export that routine.
 * Exit status: 0 done, 1 usage, 2 libgpod failed (its message on stderr). */

#include <glib.h>
#include <gpod/itdb.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int Fail(const char* what, GError* error) {
  fprintf(stderr, "gpod_tool: %s: %s\n", what, error != NULL ? error->message : "failed");
  return 2;
}

static void AddPlaylist(Itdb_iTunesDB* itdb, Itdb_Playlist* pl, long count, long start, long step) {
  itdb_playlist_add(itdb, pl, -1);
  for (long k = start; k >= 0 && k < count; k += step)
    itdb_playlist_add_track(pl, g_list_nth_data(itdb->tracks, (guint)k), -1);
}

/* libgpod's signing routine for the iPod classic and nano 3G, from its archive. */
gboolean itdb_hash58_write_hash(Itdb_Device* device, unsigned char* itdb_data, gsize itdb_len,
                                GError** error);

static int Make(const char* dir, long count, const char* guid) {
  static const char* const kFolders[] = {"iTunes", "Music/F00", "Music/F01", "Music/F02",
                                         "Music/F03"};
  for (size_t i = 0; i < 5; ++i) {
    gchar* path = g_build_filename(dir, "iPod_Control", kFolders[i], NULL);
    if (g_mkdir_with_parents(path, 0755) != 0) return Fail(path, NULL);
    g_free(path);
  }
  if (guid != NULL) {
    gchar* device = g_build_filename(dir, "iPod_Control", "Device", NULL);
    gchar* sysinfo = g_build_filename(device, "SysInfo", NULL);
    gchar* text = g_strdup_printf("ModelNumStr: MB029\nFirewireGuid: 0x%s\n", guid);
    const gboolean written =
        g_mkdir_with_parents(device, 0755) == 0 && g_file_set_contents(sysinfo, text, -1, NULL);
    g_free(text), g_free(sysinfo), g_free(device);
    if (!written) return Fail("SysInfo", NULL);
  }
  Itdb_iTunesDB* itdb = itdb_new();
  itdb_set_mountpoint(itdb, dir);
  Itdb_Playlist* mpl = itdb_playlist_new("iPod", FALSE);
  itdb_playlist_set_mpl(mpl);
  itdb_playlist_add(itdb, mpl, -1);
  for (long k = 0; k < count; ++k) {
    Itdb_Track* t = itdb_track_new();
    t->title = k == 1 ? g_strdup("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E")
                      : g_strdup_printf("Track %ld", k);
    t->artist = g_strdup_printf("Artist %ld", k % 3);
    t->album = g_strdup_printf("Album %ld", k % 2);
    t->genre = g_strdup_printf("Genre %ld", k % 4);
    t->composer = g_strdup_printf("Composer %ld", k);
    t->filetype = g_strdup("MPEG audio file");
    t->ipod_path = g_strdup_printf(":iPod_Control:Music:F%02ld:GPOD%ld.mp3", k % 4, k);
    t->track_nr = (gint32)(k % 10 + 1);
    t->size = 3000000;
    t->tracklen = 180000;
    t->bitrate = 128;
    t->samplerate = 44100;
    t->transferred = TRUE;
    itdb_track_add(itdb, t, -1);
    itdb_playlist_add_track(mpl, t, -1);
    t->playcount = (guint32)(k % 4);
    t->rating = (guint32)(k % 6 * 20);
    if (k >= 3 && k % 3 == 0) t->mediatype = ITDB_MEDIATYPE_PODCAST;
  }
  Itdb_Playlist* podcasts = itdb_playlist_new("Podcasts", FALSE);
  itdb_playlist_set_podcasts(podcasts);
  AddPlaylist(itdb, podcasts, count, 3, 3);
  AddPlaylist(itdb, itdb_playlist_new("Evens", FALSE), count, 0, 2);
  AddPlaylist(itdb, itdb_playlist_new("Backwards", FALSE), count, count - 1, -1);
  Itdb_Playlist* smart = itdb_playlist_new("Artist 1", TRUE);
  Itdb_SPLRule* rule = smart->splrules.rules->data;  // the rule a new smart playlist has
  rule->field = ITDB_SPLFIELD_ARTIST;
  rule->action = ITDB_SPLACTION_IS_STRING;
  g_free(rule->string);
  rule->string = g_strdup("Artist 1");
  itdb_playlist_add(itdb, smart, -1);
  itdb_spl_update(smart);
  GError* error = NULL;
  const gboolean written = itdb_write(itdb, &error);
  itdb_free(itdb);
  return written ? 0 : Fail("itdb_write", error);
}

static const char* Text(const char* text) { return text != NULL ? text : ""; }

static int Dump(const char* dir) {
  GError* error = NULL;
  Itdb_iTunesDB* itdb = itdb_parse(dir, &error);
  if (itdb == NULL) return Fail("itdb_parse", error);
  for (GList* l = itdb->tracks; l != NULL; l = l->next) {
    const Itdb_Track* t = l->data;
    printf("track\t%u\t%s\t%s\t%s\t%d\t%s\t%s\t%s", t->id, Text(t->title), Text(t->artist),
           Text(t->album), t->track_nr, Text(t->ipod_path), Text(t->genre), Text(t->composer));
    printf("\t%u\t%d\t%d\t%d\t%u\t%u\t%u\t%llu\t%u\t%u\n", (unsigned)t->size, t->tracklen,
           t->bitrate, t->year, (unsigned)t->rating, (unsigned)t->type1, (unsigned)t->lyrics_flag,
           (unsigned long long)t->dbid, (unsigned)t->playcount, (unsigned)t->mediatype);
  }
  Itdb_Playlist* mpl = itdb_playlist_mpl(itdb);
  printf("mpl\t%u\n", mpl != NULL ? g_list_length(mpl->members) : 0u);
  for (GList* l = itdb->playlists; l != NULL; l = l->next) {
    const Itdb_Playlist* pl = l->data;
    if (pl == mpl) continue;
    printf("playlist\t%s\t%s\t", Text(pl->name),
           itdb_playlist_is_podcasts((Itdb_Playlist*)pl) ? "podcast"
           : pl->is_spl                                  ? "smart"
                                                         : "plain");
    for (GList* r = pl->splrules.rules; r != NULL; r = r->next) {
      const Itdb_SPLRule* rule = r->data;
      printf("%u:%u:%s;", (unsigned)rule->field, (unsigned)rule->action, Text(rule->string));
    }
    putchar('\t');
    for (GList* m = pl->members; m != NULL; m = m->next)
      printf("%s%u", m == pl->members ? "" : ",", ((const Itdb_Track*)m->data)->id);
    putchar('\n');
  }
  itdb_free(itdb);
  return 0;
}

static int Sign(const char* dir) {
  gchar* path = g_build_filename(dir, "iPod_Control", "iTunes", "iTunesDB", NULL);
  gchar* data = NULL;
  gsize length = 0;
  GError* error = NULL;
  if (!g_file_get_contents(path, &data, &length, &error)) return Fail("iTunesDB", error);
  Itdb_Device* device = itdb_device_new();
  itdb_device_set_mountpoint(device, dir);
  const gboolean signed_ = itdb_hash58_write_hash(device, (unsigned char*)data, length, &error) &&
                           g_file_set_contents(path, data, (gssize)length, &error);
  itdb_device_free(device);
  g_free(data);
  g_free(path);
  return signed_ ? 0 : Fail("itdb_hash58_write_hash", error);
}

int main(int argc, char** argv) {
  if ((argc == 4 || argc == 5) && strcmp(argv[1], "make") == 0)
    return Make(argv[2], atol(argv[3]), argc == 5 ? argv[4] : NULL);
  if (argc == 3 && strcmp(argv[1], "dump") == 0) return Dump(argv[2]);
  if (argc == 3 && strcmp(argv[1], "sign") == 0) return Sign(argv[2]);
  fputs("usage: gpod_tool make DIR N [GUID] | gpod_tool dump DIR | gpod_tool sign DIR\n", stderr);
  return 1;
}
