/* libgpod's side of the writer comparison: parse the iTunesDB under an iPod folder, add N
 * tracks, write it back, and print the seconds this took (process start not counted). */
#include <gpod/itdb.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: gpod_bench IPOD_DIR TRACKS_TO_ADD\n");
    return 1;
  }
  const int add = atoi(argv[2]);
  GError* error = NULL;
  const double start = Now();
  Itdb_iTunesDB* db = itdb_parse(argv[1], &error);
  if (db == NULL) {
    fprintf(stderr, "parse failed: %s\n", error ? error->message : "?");
    return 2;
  }
  Itdb_Playlist* master = itdb_playlist_mpl(db);
  for (int i = 0; i < add; ++i) {
    Itdb_Track* track = itdb_track_new();
    char text[64];
    snprintf(text, sizeof text, "Bench title %d", i);
    track->title = g_strdup(text);
    track->artist = g_strdup("Bench artist");
    track->album = g_strdup("Bench album");
    track->filetype = g_strdup("MPEG audio file");
    snprintf(text, sizeof text, ":iPod_Control:Music:F00:B%03d.mp3", i);
    track->ipod_path = g_strdup(text);
    track->size = 4000000;
    track->tracklen = 240000;
    itdb_track_add(db, track, -1);
    if (master != NULL) itdb_playlist_add_track(master, track, -1);
  }
  if (!itdb_write(db, &error)) {
    fprintf(stderr, "write failed: %s\n", error ? error->message : "?");
    return 3;
  }
  const double elapsed = Now() - start;
  itdb_free(db);
  printf("%.6f\n", elapsed);
  return 0;
}
