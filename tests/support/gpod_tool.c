/* An independent reader and writer of iPod databases for tests, built on libgpod.
 *
 *   gpod_tool make DIR N   makes DIR/iPod_Control/{iTunes,Music/F00..F03} and an iTunesDB with
 *                          N tracks in a master playlist. Track k (from 0): title "Track k"
 *                          (track 1: "Caf\u00e9 \u20ac \U0001D11E"), artist "Artist k%3",
 *                          album "Album k%2", genre "Genre k%4", composer "Composer k",
 *                          track number k%10+1, path ":iPod_Control:Music:F0(k%4):GPODk.mp3".
 *   gpod_tool dump DIR     parses DIR's iTunesDB and prints, tab-separated, one line
 *                          "tracks N", then per track in file order
 *                          "track ID TITLE ARTIST ALBUM TRACKNR PATH GENRE COMPOSER", then per
 *                          playlist "playlist NAME COUNT IS_MASTER", then "mpl COUNT".
 *                          Texts are UTF-8 with backslash, tab and newline escaped as \\ \t \n.
 *
 * Exit status: 0 done, 1 usage, 2 libgpod failed (its message on stderr). */

#include <errno.h>
#include <glib.h>
#include <gpod/itdb.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int Usage(void) {
  fputs("usage: gpod_tool make DIR N | gpod_tool dump DIR\n", stderr);
  return 1;
}

static int Fail(const char* what, GError* error) {
  fprintf(stderr, "gpod_tool: %s: %s\n", what, error != NULL ? error->message : "failed");
  if (error != NULL) g_error_free(error);
  return 2;
}

static void PrintText(const char* text) {
  putchar('\t');
  for (const char* p = text != NULL ? text : ""; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '\t' || *p == '\n') {
      putchar('\\');
      putchar(*p == '\t' ? 't' : *p == '\n' ? 'n' : '\\');
    } else {
      putchar(*p);
    }
  }
}

static int MakeFolders(const char* dir) {
  static const char* const kFolders[] = {"iTunes", "Music/F00", "Music/F01", "Music/F02",
                                         "Music/F03"};
  for (size_t i = 0; i < sizeof kFolders / sizeof kFolders[0]; ++i) {
    gchar* path = g_build_filename(dir, "iPod_Control", kFolders[i], NULL);
    const int failed = g_mkdir_with_parents(path, 0755) != 0;
    g_free(path);
    if (failed) return -1;
  }
  return 0;
}

static int Make(const char* dir, long count) {
  if (MakeFolders(dir) != 0) {
    fprintf(stderr, "gpod_tool: cannot make the folders under %s: %s\n", dir, strerror(errno));
    return 2;
  }
  Itdb_iTunesDB* itdb = itdb_new();
  itdb_set_mountpoint(itdb, dir);
  Itdb_Playlist* mpl = itdb_playlist_new("iPod", FALSE);
  itdb_playlist_set_mpl(mpl);
  itdb_playlist_add(itdb, mpl, -1);
  for (long k = 0; k < count; ++k) {
    Itdb_Track* track = itdb_track_new();
    track->title = k == 1 ? g_strdup("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E")
                          : g_strdup_printf("Track %ld", k);
    track->artist = g_strdup_printf("Artist %ld", k % 3);
    track->album = g_strdup_printf("Album %ld", k % 2);
    track->genre = g_strdup_printf("Genre %ld", k % 4);
    track->composer = g_strdup_printf("Composer %ld", k);
    track->filetype = g_strdup("MPEG audio file");
    track->ipod_path = g_strdup_printf(":iPod_Control:Music:F%02ld:GPOD%ld.mp3", k % 4, k);
    track->track_nr = (gint32)(k % 10 + 1);
    track->size = 3000000;
    track->tracklen = 180000;
    track->bitrate = 128;
    track->samplerate = 44100;
    track->transferred = TRUE;
    itdb_track_add(itdb, track, -1);
    itdb_playlist_add_track(mpl, track, -1);
  }
  GError* error = NULL;
  const gboolean written = itdb_write(itdb, &error);
  itdb_free(itdb);
  return written ? 0 : Fail("itdb_write", error);
}

static int Dump(const char* dir) {
  GError* error = NULL;
  Itdb_iTunesDB* itdb = itdb_parse(dir, &error);
  if (itdb == NULL) return Fail("itdb_parse", error);
  if (error != NULL) g_error_free(error);
  printf("tracks\t%u\n", g_list_length(itdb->tracks));
  for (GList* t = itdb->tracks; t != NULL; t = t->next) {
    const Itdb_Track* track = t->data;
    printf("track\t%u", track->id);
    PrintText(track->title);
    PrintText(track->artist);
    PrintText(track->album);
    printf("\t%d", track->track_nr);
    PrintText(track->ipod_path);
    PrintText(track->genre);
    PrintText(track->composer);
    putchar('\n');
  }
  for (GList* p = itdb->playlists; p != NULL; p = p->next) {
    const Itdb_Playlist* playlist = p->data;
    fputs("playlist", stdout);
    PrintText(playlist->name);
    printf("\t%u\t%d\n", g_list_length(playlist->members),
           itdb_playlist_is_mpl((Itdb_Playlist*)playlist) ? 1 : 0);
  }
  Itdb_Playlist* mpl = itdb_playlist_mpl(itdb);
  printf("mpl\t%u\n", mpl != NULL ? g_list_length(mpl->members) : 0u);
  itdb_free(itdb);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "make") == 0) {
    char* end = NULL;
    const long count = strtol(argv[3], &end, 10);
    if (*end != '\0' || count < 0) return Usage();
    return Make(argv[2], count);
  }
  if (argc == 3 && strcmp(argv[1], "dump") == 0) return Dump(argv[2]);
  return Usage();
}
