"""A smart-card lab for tests: a private pcscd whose readers are vsmartcard's
virtual reader driver (vpcd), and virtual cards that plug into those readers
over TCP and hold certificates that OpenSC reads with its PIV driver.

vpcd keeps one connection per slot number for the whole driver, so pcscd can
use only one vpcd reader; it has two slots, which pcscd shows as two readers
(0 and 1), each with its own TCP port.

    lab = PcscLab(tmpdir)
    lab.start()
    card = VirtualCard([der_bytes, ...])
    card.insert(lab.port(0))
    lab.wait_card(0, present=True)
    ...  # run clients with lab.env()
    card.remove()
    lab.stop()

Usage: pcsc_lab.py demo CERT.der...   (lists the certificates with pkcs11-tool)
"""
import ctypes
import fcntl
import hashlib
import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

PCSCD = "/usr/sbin/pcscd"
VPCD = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so"
PID_FILE = "/run/pcscd/pcscd.pid"  # pcscd writes it wherever its socket is
LAB_LOCK = "/tmp/velk-pcsc-lab.lock"  # one lab (one pcscd) at a time on the machine
OPENSC_PKCS11 = "/usr/lib/x86_64-linux-gnu/opensc-pkcs11.so"
_prctl, PR_SET_PDEATHSIG = ctypes.CDLL(None).prctl, 1  # looked up before any fork


class Skip(Exception):
    """The lab cannot run here; the reason says why."""


def _free_port_pair():
    """A TCP port P with P+1 also free: vpcd serves two slots per reader."""
    for _ in range(100):
        with socket.socket() as first, socket.socket() as second:
            first.bind(("", 0))
            port = first.getsockname()[1]
            try:
                second.bind(("", port + 1))
            except OSError:
                continue
            return port
    raise OSError("no two adjacent free TCP ports")


class PcscLab:
    READERS = 2  # vpcd's slots

    def __init__(self, tmpdir):
        self.tmpdir = str(tmpdir)
        self.socket_path = os.path.join(self.tmpdir, "pcscd.comm")
        self.config = os.path.join(self.tmpdir, "reader.conf")
        self.log = os.path.join(self.tmpdir, "pcscd.log")
        self.opensc_conf = os.path.join(self.tmpdir, "opensc.conf")
        self._port = _free_port_pair()
        self._plugged = True
        self._pid = None
        self._lock = None

    def port(self, i):
        """The TCP port where a card goes into reader i."""
        return self._port + i

    def reader_name(self, i):
        return f"Velk Lab 00 {i:02X}"

    def env(self):
        """The environment of a client of this pcscd (OpenSC without its disk cache)."""
        return dict(os.environ, PCSCLITE_CSOCK_NAME=self.socket_path, OPENSC_CONF=self.opensc_conf)

    def start(self):
        """Starts pcscd and waits until it lists the readers.

        Takes a machine-wide lock first (released by stop), so that labs in other
        processes wait rather than share the pid file in /run/pcscd."""
        for path, what in ((PCSCD, "pcscd"), (VPCD, "vsmartcard-vpcd")):
            if not os.path.exists(path):
                raise Skip(f"{what} is not installed ({path})")
        if os.geteuid() != 0:
            raise Skip("pcscd writes its pid file in /run/pcscd: needs root")
        if self._lock is None:
            self._lock = open(LAB_LOCK, "w")
            try:
                _with_timeout(lambda: _try_lock(self._lock), 600, "another lab to stop")
                if _running_pid(PID_FILE):
                    raise Skip(f"another pcscd is running (pid file {PID_FILE})")
            except BaseException:
                self._release_lock()
                raise
        with open(self.opensc_conf, "w") as f:
            f.write("app default {\n  framework pkcs15 {\n    use_file_caching = no;\n  }\n}\n")
        self._write_config()
        # pcscd 2 asks polkit whether a client may connect; a test machine has no
        # system bus to ask (pcscd 1.9 has no such option and asks nobody).
        usage = subprocess.run([PCSCD, "--help"], capture_output=True, text=True)
        polkit = ["--disable-polkit"] if "--disable-polkit" in usage.stdout + usage.stderr else []
        # pcscd takes its listening socket systemd-style: fd 3, LISTEN_FDS, LISTEN_PID.
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        if os.path.exists(self.socket_path):
            os.unlink(self.socket_path)
        listener.bind(self.socket_path)
        listener.listen()
        log = os.open(self.log, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
        pid = os.fork()
        if pid == 0:
            try:
                # pcscd ends with the thread that started it, even if that dies without stop().
                _prctl(PR_SET_PDEATHSIG, signal.SIGTERM)
                os.dup2(listener.fileno(), 3)
                os.set_inheritable(3, True)
                os.dup2(log, 1)
                os.dup2(log, 2)
                env = dict(os.environ, LISTEN_FDS="1", LISTEN_PID=str(os.getpid()))
                os.execve(PCSCD, [PCSCD, "-f", "-c", self.config] + polkit, env)
            finally:
                os._exit(127)
        # pcscd holds the socket now: once it dies, clients are refused at once.
        listener.close()
        os.close(log)
        self._pid = pid
        try:
            for i in range(self.READERS if self._plugged else 0):
                self.wait_reader(i, listed=True)
        except BaseException:
            self.stop()
            raise

    def stop(self):
        """Stops pcscd and releases the lab's lock."""
        self._stop_pcscd()
        self._release_lock()

    def restart(self):
        """Stops and starts pcscd on the same socket and ports, keeping the lock."""
        self._stop_pcscd()
        self.start()

    def unplug(self):
        """Takes the readers away: pcscd restarts without them.

        Debian's pcscd (1.9.9, built with udev hotplug) fixes its serial readers at
        start: SIGUSR1 (`pcscd --hotplug`) re-reads the reader configuration only in
        libusb builds. So clients see the service go and come back without readers;
        the cards that were in them are out (insert them again)."""
        self._plugged = False
        self.restart()

    def plug(self):
        """Puts the readers back: pcscd restarts with them (see unplug)."""
        self._plugged = True
        self.restart()

    def wait_reader(self, i, listed, timeout=10):
        """Waits until pcscd lists reader i (or no longer does)."""
        self._wait(self.reader_name(i), "listed" if listed else "unlisted", timeout)

    def wait_card(self, i, present, timeout=10):
        """Waits until pcscd sees a card in reader i (or sees it empty)."""
        self._wait(self.reader_name(i), "present" if present else "empty", timeout)

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def _wait(self, reader, state, timeout):
        # libpcsclite reads PCSCLITE_CSOCK_NAME once per process: ask from a child process.
        waited = subprocess.run([sys.executable, __file__, "wait", reader, state, str(timeout)],
                                env=self.env(), capture_output=True, text=True)
        if waited.returncode != 0:
            raise TimeoutError(waited.stderr.strip() or f"pcsc_lab wait: exit {waited.returncode}")

    def _stop_pcscd(self):
        """SIGTERM, and wait: pcscd removes its pid file itself on the way out."""
        if self._pid is not None:
            os.kill(self._pid, signal.SIGTERM)
            try:
                _with_timeout(lambda: os.waitpid(self._pid, os.WNOHANG)[0] != 0, 10,
                              "pcscd to stop")
            except TimeoutError:
                os.kill(self._pid, signal.SIGKILL)
                os.waitpid(self._pid, 0)
                if os.path.exists(PID_FILE) and _running_pid(PID_FILE) is None:
                    os.unlink(PID_FILE)
            self._pid = None
        if os.path.exists(self.socket_path):
            os.unlink(self.socket_path)

    def _write_config(self):
        with open(self.config, "w") as f:
            if self._plugged:  # vpcd listens on the port for slot 0, the next one for slot 1
                f.write(f'FRIENDLYNAME "Velk Lab"\nDEVICENAME /dev/null:{self._port}\n'
                        f"LIBPATH {VPCD}\n")

    def _release_lock(self):
        if self._lock is not None:
            self._lock.close()  # closing releases the flock
            self._lock = None


def _running_pid(pid_file):
    """The pid in pid_file when that process is alive, else None."""
    try:
        with open(pid_file) as f:
            pid = int(f.read().strip("\0 \n"))  # pcscd ends it with a newline and a NUL
        os.kill(pid, 0)
        return pid
    except (OSError, ValueError):
        return None


def _try_lock(file):
    try:
        fcntl.flock(file, fcntl.LOCK_EX | fcntl.LOCK_NB)
        return True
    except BlockingIOError:
        return False


def _with_timeout(done, seconds, what):
    deadline = time.monotonic() + seconds
    while not done():
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out waiting for {what}")
        time.sleep(0.02)


class VirtualCard:
    """A PIV card holding certificates (DER bytes), readable without a PIN.

    With piv=False it answers 6A82 to every SELECT: a card that no module
    recognises. With pull_after=N it drops its connection after answering N
    commands of an insertion, as a card pulled out in the middle of a read."""

    # T=1; the historical bytes "Velk Lab" match no driver's table; the check byte last.
    ATR = bytes.fromhex("3B88800156656C6B204C616252")
    PIV_AID = bytes.fromhex("A000000308")
    # PIV certificate objects: authentication (9A), signature (9C), key management (9D),
    # card authentication (9E), then the retired key slots.
    OBJECTS = [bytes.fromhex(t) for t in ["5FC105", "5FC10A", "5FC10B", "5FC101"]] + [
        bytes([0x5F, 0xC1, n]) for n in range(0x0D, 0x21)]
    CHUID = bytes.fromhex("5FC102")

    def __init__(self, certificates, piv=True, pull_after=None):
        if len(certificates) > len(self.OBJECTS):
            raise ValueError("too many certificates for one card")
        # GET DATA answers 53 (length) object. A certificate object holds the certificate
        # (70), its information (71: not compressed) and an empty error detection code (FE).
        objects = [_tlv(0x70, c) + _tlv(0x71, b"\x00") + _tlv(0xFE, b"") for c in certificates]
        self._objects = {tag: _tlv(0x53, value) for tag, value in zip(self.OBJECTS, objects)}
        # The card holder unique identifier: its GUID (34) is the token's serial number,
        # the same for the same certificates.
        guid = hashlib.sha256(b"".join(certificates)).digest()[:16]
        self._objects[self.CHUID] = _tlv(0x53, _tlv(0x34, guid) + _tlv(0x35, b"20991231")
                                         + _tlv(0x3E, b"") + _tlv(0xFE, b""))
        self._piv = piv
        self._pull_after = pull_after
        self._commands = 0
        self._socket = None
        self._thread = None

    @property
    def commands(self):
        """How many commands (APDUs) the card has received, over all insertions."""
        return self._commands

    def insert(self, port):
        """Puts the card into the reader listening on port (the card connects to vpcd)."""
        self.remove()
        self._socket = socket.create_connection(("127.0.0.1", port))
        self._socket.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self._thread = threading.Thread(target=self._serve, args=(self._socket,), daemon=True)
        self._thread.start()

    def remove(self):
        if self._socket is not None:
            try:
                self._socket.shutdown(socket.SHUT_RDWR)
            except OSError:  # the reader or the card dropped the connection already
                pass
            self._thread.join()
            self._socket.close()
            self._socket = None

    def _serve(self, sock):
        selected, pending, answered = False, b"", 0
        try:
            while True:
                message = _recv_message(sock)
                if message is None:
                    return
                if len(message) == 1:  # control: 0 power off, 1 power on, 2 reset, 4 ATR
                    if message[0] in (0, 1, 2):
                        selected = False
                    if message[0] == 4:
                        _send_message(sock, self.ATR)
                    continue
                self._commands += 1
                reply, selected, pending = self._answer(message, selected, pending)
                _send_message(sock, reply)
                answered += 1
                if answered == self._pull_after:
                    sock.shutdown(socket.SHUT_RDWR)
                    return
        except OSError:
            return

    def _answer(self, apdu, selected, pending):
        """The reply to one APDU, whether the applet is selected, and what GET RESPONSE owes."""
        ins, p1, p2 = apdu[1], apdu[2], apdu[3]
        data, le = _parse_apdu(apdu)
        if ins == 0xC0 and pending:  # GET RESPONSE
            return _chunk(pending, le, selected)
        if ins == 0xA4 and p1 == 0x04:  # SELECT by AID
            if self._piv and data.startswith(self.PIV_AID):
                template = _tlv(0x61, _tlv(0x4F, bytes.fromhex("000010000100"))
                                + _tlv(0x79, _tlv(0x4F, self.PIV_AID)))
                return _chunk(template, le, True)
            return b"\x6A\x82", False, b""
        if not selected:
            return b"\x6D\x00", False, b""
        if ins == 0xCB and p1 == 0x3F and p2 == 0xFF and data[:1] == b"\x5C":  # GET DATA
            found = self._objects.get(data[2:2 + data[1]])
            return _chunk(found, le, True) if found else (b"\x6A\x82", True, b"")
        if ins == 0x20 and not data:  # VERIFY without a PIN: how many tries are left
            return b"\x63\xC3", True, b""
        return b"\x6D\x00", True, b""


def _tlv(tag, value):
    return bytes([tag]) + _ber_length(len(value)) + value


def _ber_length(n):
    if n < 0x80:
        return bytes([n])
    if n < 0x100:
        return bytes([0x81, n])
    return bytes([0x82]) + n.to_bytes(2, "big")


def _parse_apdu(apdu):
    """The command data and the expected length (Le) of a short or extended APDU."""
    body = apdu[4:]
    if not body:
        return b"", 0
    if body[0] == 0 and len(body) >= 3:  # extended
        n = int.from_bytes(body[1:3], "big")
        if len(body) == 3:
            return b"", n or 65536
        rest = body[3 + n:]
        return body[3:3 + n], (int.from_bytes(rest, "big") or 65536) if rest else 0
    if len(body) == 1:
        return b"", body[0] or 256
    rest = body[1 + body[0]:]
    return body[1:1 + body[0]], (rest[0] or 256) if rest else 0


def _chunk(data, le, selected):
    """At most le bytes of data and 9000, or 61xx and the rest for GET RESPONSE."""
    le = le or 256
    if len(data) <= le:
        return data + b"\x90\x00", selected, b""
    rest = data[le:]
    return data[:le] + bytes([0x61, min(len(rest), 256) & 0xFF]), selected, rest


def _recv_message(sock):
    """One vpcd message (two-byte big-endian length, then the bytes); None once closed."""
    header = _recv_exactly(sock, 2)
    if header is None:
        return None
    return _recv_exactly(sock, struct.unpack(">H", header)[0])


def _recv_exactly(sock, n):
    data = b""
    while len(data) < n:
        part = sock.recv(n - len(data))
        # Linux turns quick ACKs off again after a while: without them every reply
        # waits 40 ms for the delayed ACK of the command.
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
        if not part:
            return None
        data += part
    return data


def _send_message(sock, data):
    sock.sendall(struct.pack(">H", len(data)) + data)


# The PC/SC client side, for the wait helpers (run in a child process, see PcscLab._wait).
class _ReaderState(ctypes.Structure):
    _fields_ = [("reader", ctypes.c_char_p), ("user_data", ctypes.c_void_p),
                ("current_state", ctypes.c_ulong), ("event_state", ctypes.c_ulong),
                ("atr_length", ctypes.c_ulong), ("atr", ctypes.c_ubyte * 33)]


SCARD_STATE_CHANGED, SCARD_STATE_UNKNOWN, SCARD_STATE_EMPTY, SCARD_STATE_PRESENT = 2, 4, 0x10, 0x20
SCARD_E_UNKNOWN_READER, SCARD_E_TIMEOUT = 0x80100009, 0x8010000A


def _wait_for(reader, state, timeout):
    """Waits (in this process) until reader is listed, unlisted, present (holds a card)
    or empty; False if it is not within timeout seconds."""
    pcsc = ctypes.CDLL("libpcsclite.so.1")
    context = ctypes.c_long()
    if pcsc.SCardEstablishContext(2, None, None, ctypes.byref(context)) != 0:  # system scope
        return False
    try:
        wanted = {"listed": lambda s: not s & SCARD_STATE_UNKNOWN,
                  "unlisted": lambda s: s & SCARD_STATE_UNKNOWN,
                  "present": lambda s: s & SCARD_STATE_PRESENT,
                  "empty": lambda s: s & SCARD_STATE_EMPTY}[state]
        reader_state = _ReaderState(reader=reader.encode())  # current state 0: answer at once
        deadline = time.monotonic() + timeout
        while (left := int((deadline - time.monotonic()) * 1000)) > 0:
            # Returns when the reader's state differs from current_state, or at the timeout.
            rv = pcsc.SCardGetStatusChange(context, ctypes.c_ulong(left),
                                           ctypes.byref(reader_state), ctypes.c_ulong(1))
            rv &= 0xFFFFFFFF
            if rv == SCARD_E_UNKNOWN_READER:  # pcsc-lite answers this at once
                reader_state.event_state = SCARD_STATE_UNKNOWN
            elif rv not in (0, SCARD_E_TIMEOUT):
                return False
            if wanted(reader_state.event_state):
                return True
            reader_state.current_state = reader_state.event_state & ~SCARD_STATE_CHANGED
            if rv == SCARD_E_UNKNOWN_READER:
                time.sleep(0.02)
        return False
    finally:
        pcsc.SCardReleaseContext(context)


def _demo(cert_files):
    """Lists a card holding cert_files with pkcs11-tool; 1 unless it shows each of them."""
    import tempfile
    certificates = [open(path, "rb").read() for path in cert_files]
    with tempfile.TemporaryDirectory() as tmpdir, PcscLab(tmpdir) as lab:
        card = VirtualCard(certificates)
        card.insert(lab.port(0))
        lab.wait_card(0, present=True)
        began = time.monotonic()
        listing = subprocess.run(["pkcs11-tool", "--module", OPENSC_PKCS11, "-O"], env=lab.env(),
                                 capture_output=True, text=True)
        took = time.monotonic() - began
        card.remove()
    print(listing.stdout + listing.stderr, end="")
    print(f"pkcs11-tool -O: exit {listing.returncode}, {took * 1000:.0f} ms, "
          f"{card.commands} commands")
    return 0 if listing.stdout.count("Certificate Object") == len(certificates) else 1


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "wait":
        sys.exit(0 if _wait_for(sys.argv[2], sys.argv[3], float(sys.argv[4]))
                 else f"pcsc_lab: {sys.argv[2]} not {sys.argv[3]} within {sys.argv[4]} s")
    if len(sys.argv) >= 3 and sys.argv[1] == "demo":
        try:
            sys.exit(_demo(sys.argv[2:]))
        except Skip as skip:
            print(f"skipped: {skip}")
            sys.exit(77)  # ctest's SKIP_RETURN_CODE in this project
    sys.exit(__doc__)
