/* xdnd_drop: drops files onto an X window the way a Linux file manager does, with
 * the XDND protocol (version 5, type text/uri-list, action copy). Wine turns such a
 * drop into WM_DROPFILES for a window that accepts dropped files, so a test can drop
 * files onto a Wine program from outside it.
 *
 *   xdnd_drop WINDOW-ID FILE...      (the files as absolute Linux paths)
 *
 * Exit status: 0 when the target took the drop (XdndFinished), 1 on usage, 2 when the
 * target did not answer in time or refused. Built by the test that uses it. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>

static Display *dpy;
static Atom aAware, aEnter, aPosition, aStatus, aDrop, aFinished, aSelection, aUriList, aCopy;
static char uris[65536];

static void send_message(Window target, Window source, Atom type, long l1, long l2, long l3, long l4) {
  XEvent e;
  memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.display = dpy;
  e.xclient.window = target;
  e.xclient.message_type = type;
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)source;
  e.xclient.data.l[1] = l1;
  e.xclient.data.l[2] = l2;
  e.xclient.data.l[3] = l3;
  e.xclient.data.l[4] = l4;
  XSendEvent(dpy, target, False, NoEventMask, &e);
  XFlush(dpy);
}

/* Answers a request for the dragged data. */
static void answer(XSelectionRequestEvent *r) {
  XEvent reply;
  memset(&reply, 0, sizeof reply);
  reply.xselection.type = SelectionNotify;
  reply.xselection.display = dpy;
  reply.xselection.requestor = r->requestor;
  reply.xselection.selection = r->selection;
  reply.xselection.target = r->target;
  reply.xselection.time = r->time;
  reply.xselection.property = None;
  if (r->target == aUriList && r->property != None) {
    XChangeProperty(dpy, r->requestor, r->property, aUriList, 8, PropModeReplace, (unsigned char *)uris,
                    (int)strlen(uris));
    reply.xselection.property = r->property;
  }
  XSendEvent(dpy, r->requestor, False, NoEventMask, &reply);
  XFlush(dpy);
}

/* Serves selection requests until a client message of that type arrives; 1 with it
 * in *out, 0 after the time-out. */
static int wait_for(Atom type, XEvent *out, int seconds) {
  time_t end = time(NULL) + seconds;
  int fd = ConnectionNumber(dpy);
  while (time(NULL) <= end) {
    while (XPending(dpy)) {
      XEvent e;
      XNextEvent(dpy, &e);
      if (e.type == SelectionRequest) answer(&e.xselectionrequest);
      if (e.type == ClientMessage && e.xclient.message_type == type) {
        *out = e;
        return 1;
      }
    }
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(fd, &fds);
    struct timeval tv = {0, 100000};
    select(fd + 1, &fds, NULL, NULL, &tv);
  }
  return 0;
}

static void append_uri(const char *path) {
  size_t n = strlen(uris);
  snprintf(uris + n, sizeof uris - n, "file://");
  n = strlen(uris);
  for (const unsigned char *p = (const unsigned char *)path; *p && n + 4 < sizeof uris; ++p) {
    if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || strchr("/-_.~", *p))
      uris[n++] = (char)*p;
    else n += (size_t)snprintf(uris + n, sizeof uris - n, "%%%02X", *p);
  }
  uris[n] = '\0';
  snprintf(uris + n, sizeof uris - n, "\r\n");
}

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: xdnd_drop WINDOW-ID FILE...\n");
    return 1;
  }
  Window target = (Window)strtoul(argv[1], NULL, 0);
  for (int i = 2; i < argc; ++i) append_uri(argv[i]);
  dpy = XOpenDisplay(NULL);
  if (!dpy) {
    fprintf(stderr, "xdnd_drop: cannot open the display\n");
    return 2;
  }
  aAware = XInternAtom(dpy, "XdndAware", False);
  aEnter = XInternAtom(dpy, "XdndEnter", False);
  aPosition = XInternAtom(dpy, "XdndPosition", False);
  aStatus = XInternAtom(dpy, "XdndStatus", False);
  aDrop = XInternAtom(dpy, "XdndDrop", False);
  aFinished = XInternAtom(dpy, "XdndFinished", False);
  aSelection = XInternAtom(dpy, "XdndSelection", False);
  aUriList = XInternAtom(dpy, "text/uri-list", False);
  aCopy = XInternAtom(dpy, "XdndActionCopy", False);

  Window root = DefaultRootWindow(dpy);
  Window source = XCreateSimpleWindow(dpy, root, 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(dpy, aSelection, source, CurrentTime);

  /* The drop point: the middle of the target window, in root coordinates. */
  Window child, ignored;
  int x = 0, y = 0;
  unsigned int w = 0, h = 0, border = 0, depth = 0;
  int gx, gy;
  if (!XGetGeometry(dpy, target, &ignored, &gx, &gy, &w, &h, &border, &depth)) {
    fprintf(stderr, "xdnd_drop: no window 0x%lx\n", (unsigned long)target);
    return 2;
  }
  XTranslateCoordinates(dpy, target, root, (int)w / 2, (int)h / 2, &x, &y, &child);

  send_message(target, source, aEnter, 5L << 24, (long)aUriList, 0, 0);
  XEvent status;
  send_message(target, source, aPosition, 0, ((long)x << 16) | (y & 0xFFFF), CurrentTime, (long)aCopy);
  if (!wait_for(aStatus, &status, 10)) {
    fprintf(stderr, "xdnd_drop: the target did not answer XdndPosition\n");
    return 2;
  }
  if (!(status.xclient.data.l[1] & 1)) {
    fprintf(stderr, "xdnd_drop: the target refuses the drop\n");
    send_message(target, source, XInternAtom(dpy, "XdndLeave", False), 0, 0, 0, 0);
    return 2;
  }
  send_message(target, source, aDrop, 0, CurrentTime, 0, 0);
  XEvent finished;
  if (!wait_for(aFinished, &finished, 10)) {
    fprintf(stderr, "xdnd_drop: the target did not finish the drop\n");
    return 2;
  }
  XCloseDisplay(dpy);
  return 0;
}
