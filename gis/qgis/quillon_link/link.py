"""The viewer's link as the map speaks it: execute conversations over Unix-domain sockets in
a private per-user folder, one socket per service|topic, each command and reply a frame of a
4-byte big-endian length and its bytes; a reply begins with 'A' (acknowledged) or 'R' and the
reason of a refusal. Peers of another user are refused."""

import os
import queue
import socket
import stat
import struct
import threading
import time

MAX_COMMAND_BYTES = 4 << 20
MAX_REASON_BYTES = 2048

GIS_SERVICE, GIS_TOPIC = "ArcView", "System"
VIEWER_SERVICE, VIEWER_TOPIC = "Quillon", "messageToVB"
DISPLAY_SCRIPT = "Quillon.DisplayInterps"
CLEANUP_SCRIPT = "Quillon.InterpsCleanup"
DYNAMIC_LEGEND = "DYNAMIC"


class LinkError(Exception):
    """A conversation could not be set up or did not complete; the text names service|topic."""


def conversation_folder():
    folder = os.environ.get("QUILLON_DDE_DIR")
    if not folder:
        run = os.environ.get("XDG_RUNTIME_DIR")
        folder = os.path.join(run, "quillon-dde") if run else "/tmp/quillon-dde-%d" % os.geteuid()
    try:
        os.mkdir(folder, 0o700)
    except FileExistsError:
        pass
    except OSError as e:
        raise LinkError("Cannot create the conversation folder %s: %s" % (folder, e.strerror))
    st = os.lstat(folder)
    # Another user's folder, a link, or one others may enter would let them pose as a server.
    if not stat.S_ISDIR(st.st_mode) or st.st_uid != os.geteuid() or st.st_mode & 0o077:
        raise LinkError("The conversation folder %s is not a private folder of this user "
                        "(it must have mode 0700)" % folder)
    return folder


def _encode(part):
    out = []
    for b in part.encode("utf-8"):
        c = chr(b)
        if "a" <= c <= "z" or "0" <= c <= "9" or c in ".-_":
            out.append(c)
        elif "A" <= c <= "Z":
            out.append(c.lower())
        else:
            out.append("%%%02x" % b)
    return "".join(out)


def socket_path(service, topic):
    return os.path.join(conversation_folder(), _encode(service) + "%7c" + _encode(topic) + ".sock")


def frame(payload):
    return struct.pack(">I", len(payload)) + payload


def _peer_uid(sock):
    creds = sock.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED, struct.calcsize("3i"))
    return struct.unpack("3i", creds)[1]


def run_command(script, argument):
    """av.run("<script>", "<argument>" ) with nothing around it."""
    return 'av.run("%s", "%s" )' % (script, argument)


def parse_run_command(command):
    """(script, argument) of a script call, or None: the script runs to the first quote, the
    argument to the last closing " ) so that quotes inside it stay."""
    head, middle, tail = 'av.run("', '", "', '" )'
    if not command.startswith(head) or not command.endswith(tail) or \
            len(command) < len(head) + len(middle) + len(tail):
        return None
    split = command.find(middle, len(head))
    if split < 0 or split + len(middle) > len(command) - len(tail):
        return None
    script = command[len(head):split]
    if '"' in script:
        return None
    return script, command[split + len(middle):len(command) - len(tail)]


def parse_display_argument(argument):
    """column, title, legend: the first field and the last, all between is the title."""
    first, last = argument.find("|"), argument.rfind("|")
    if first < 0 or first == last:
        raise ValueError('The display request "%s" must have three fields: column|title|legend' % argument)
    if first == 0:
        raise ValueError('The display request "%s" names no column' % argument)
    return argument[:first], argument[first + 1:last], argument[last + 1:]


def execute(service, topic, command, timeout=5.0):
    """Sends one command and waits for its reply: (accepted, reason). Raises LinkError when
    nobody serves the pair, the server goes away or does not answer in time."""
    name = "%s|%s" % (service, topic)
    payload = command.encode("utf-8")
    if len(payload) > MAX_COMMAND_BYTES:
        raise LinkError("The command of %d bytes for %s exceeds the limit" % (len(payload), name))
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        end = time.monotonic() + timeout
        while True:
            try:
                sock.settimeout(max(0.01, end - time.monotonic()))
                sock.connect(socket_path(service, topic))
                break
            except BlockingIOError:
                # A server whose queue of waiting conversations is full: try again.
                if time.monotonic() >= end:
                    raise LinkError("The server of %s did not take the conversation (it is busy)" % name)
                time.sleep(0.005)
            except (FileNotFoundError, ConnectionRefusedError) as e:
                raise LinkError("No program serves %s (%s)" % (name, e.strerror))
        if _peer_uid(sock) != os.geteuid():
            raise LinkError("The server of %s runs as another user" % name)
        sock.sendall(frame(payload))
        reply = b""
        need = 4
        while len(reply) < need:
            sock.settimeout(max(0.01, end - time.monotonic()))
            chunk = sock.recv(need - len(reply))
            if not chunk:
                raise LinkError("The server of %s closed the conversation" % name)
            reply += chunk
            if need == 4 and len(reply) == 4:
                length = struct.unpack(">I", reply)[0]
                if length < 1 or length > MAX_COMMAND_BYTES:
                    raise LinkError("A malformed reply came from %s" % name)
                need += length
        if reply[4:5] == b"A":
            return True, ""
        if reply[4:5] == b"R":
            return False, reply[5:].decode("utf-8", "replace")
        raise LinkError("A malformed reply came from %s" % name)
    except socket.timeout:
        raise LinkError("No answer from %s within %d ms" % (name, timeout * 1000))
    except OSError as e:
        if isinstance(e, LinkError):
            raise
        raise LinkError("The conversation with %s failed: %s" % (name, e))
    finally:
        sock.close()


def serves(service, topic):
    """True when a live process serves the pair."""
    probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        probe.connect(socket_path(service, topic))
        return True
    except OSError:
        return False
    finally:
        probe.close()


class _Peer:
    def __init__(self, sock):
        self.sock = sock
        self.incoming = b""
        self.outgoing = b""
        self.closing = False


class Server:
    """Serves execute commands of one service|topic on the thread that calls poll(), which
    never blocks. handler(command) returns (accepted, reason) or raises to refuse."""

    def __init__(self, service, topic, handler):
        self.name = "%s|%s" % (service, topic)
        self.path = socket_path(service, topic)
        self.handler = handler
        self.refused = 0
        self._peers = []
        if serves(service, topic):
            raise LinkError("Another program already serves %s" % self.name)
        # A socket file left by a process that died is taken over.
        try:
            os.unlink(self.path)
        except FileNotFoundError:
            pass
        self._listen = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            self._listen.bind(self.path)
            self._listen.listen(64)
        except OSError as e:
            self._listen.close()
            raise LinkError("Cannot serve %s at %s: %s" % (self.name, self.path, e.strerror))
        self._listen.setblocking(False)

    def close(self):
        for peer in self._peers:
            peer.sock.close()
        self._peers = []
        if self._listen is not None:
            self._listen.close()
            self._listen = None
            try:
                os.unlink(self.path)
            except FileNotFoundError:
                pass

    def poll(self):
        if self._listen is None:
            return
        self._accept()
        kept = []
        for peer in self._peers:
            if self._serve(peer):
                kept.append(peer)
            else:
                peer.sock.close()
        self._peers = kept

    def _accept(self):
        while True:
            try:
                sock, _ = self._listen.accept()
            except (BlockingIOError, InterruptedError):
                return
            sock.setblocking(False)
            peer = _Peer(sock)
            uid = _peer_uid(sock)
            if uid != os.geteuid():
                self.refused += 1
                peer.outgoing = frame(("RConversation refused: the peer runs as user id %d, not as this user (%d)"
                                       % (uid, os.geteuid())).encode())
                peer.closing = True
            self._peers.append(peer)

    def _serve(self, peer):
        """Reads what arrived, serves each complete command, writes what it can; False when
        the conversation is over."""
        while not peer.closing:
            try:
                chunk = peer.sock.recv(65536)
            except (BlockingIOError, InterruptedError):
                break
            except OSError:
                return False
            if not chunk:
                return False
            peer.incoming += chunk
        while not peer.closing and len(peer.incoming) >= 4:
            length = struct.unpack(">I", peer.incoming[:4])[0]
            if length > MAX_COMMAND_BYTES:
                peer.outgoing += frame(b"RThe command of %d bytes exceeds the limit of %d bytes"
                                       % (length, MAX_COMMAND_BYTES))
                peer.closing = True
                break
            if len(peer.incoming) < 4 + length:
                break
            command = peer.incoming[4:4 + length].decode("utf-8", "replace")
            peer.incoming = peer.incoming[4 + length:]
            try:
                accepted, reason = self.handler(command)
            except Exception as e:  # a handler's failure is the peer's refusal, not ours
                accepted, reason = False, str(e)
            reason = reason.encode("utf-8")
            if len(reason) > MAX_REASON_BYTES:
                reason = reason[:MAX_REASON_BYTES - 3] + b"..."
            peer.outgoing += frame((b"A" if accepted else b"R") + reason)
        while peer.outgoing:
            try:
                sent = peer.sock.send(peer.outgoing)
            except (BlockingIOError, InterruptedError):
                return True
            except OSError:
                return False
            peer.outgoing = peer.outgoing[sent:]
        return not peer.closing


class Notifier:
    """Sends notices (ENABLECONTROLS, DISABLECONTROLS) to a service|topic from a thread of its
    own, in order, so a peer busy waiting on us never holds the caller; a peer that is not
    there is no error for a notice."""

    def __init__(self, service, topic):
        self._target = (service, topic)
        self._queue = queue.Queue()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def send(self, command):
        self._queue.put(command)

    def stop(self):
        self._queue.put(None)
        self._thread.join(2.0)

    def _run(self):
        while True:
            command = self._queue.get()
            if command is None:
                return
            try:
                execute(self._target[0], self._target[1], command, timeout=2.0)
            except LinkError:
                pass
