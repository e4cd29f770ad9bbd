#!/usr/bin/env python3
"""velk-host watch, the per-session agent, run as a session runs it.

    velk_host_watch.py VELK-HOST alone   without pcscd: the session lock, the
                                         reminder at the start and every
                                         --remind-every, SIGTERM
    velk_host_watch.py VELK-HOST card VELK-MAKE-CERT
                                         on the real smart-card stack (a
                                         private pcscd, vpcd readers, a virtual
                                         card OpenSC reads): cards put in and
                                         pulled out, readers unplugged, pcscd
                                         stopped and restarted; exits 77 when
                                         the lab cannot run here
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
import pcsc_lab  # noqa: E402

HOST = os.path.abspath(sys.argv[1])
MAKE_CERT = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else None


def wait_for(done, what, timeout=15):
    deadline = time.monotonic() + timeout
    while not done():
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.02)


def certificate(folder, name, serial, usage):
    """A certificate (DER) with the key usage `usage`, valid for a year."""
    path = os.path.join(folder, name + ".der")
    subprocess.run([MAKE_CERT, "--serial", serial, "--not-after", "+365", "--key-usage", usage,
                    "--out", path], check=True, capture_output=True)
    with open(path, "rb") as f:
        return f.read()


class Agent:
    """velk-host watch in a home and session of its own; its output in files."""
    started = []

    def __init__(self, home, env, *options):
        self.home, self.env = home, dict(env, HOME=home, XDG_DATA_HOME=home + "/data",
                                         XDG_STATE_HOME=home + "/state", XDG_RUNTIME_DIR=home + "/run")
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        os.makedirs(home + "/run", mode=0o700, exist_ok=True)
        self.err_path = home + "/watch.err"
        with open(self.err_path, "w") as err, open(home + "/watch.out", "w") as out:
            self.process = subprocess.Popen([HOST, "watch", *options], env=self.env, stdin=subprocess.DEVNULL,
                                            stdout=out, stderr=err)
        Agent.started.append(self.process)

    def errors(self):
        with open(self.err_path) as f:
            return f.read().splitlines()

    def reminders(self):
        """How many reminders have run: each shows the history at its end."""
        with open(self.home + "/watch.out") as f:
            return sum(line.startswith("history: ") for line in f)

    def records(self):
        """The (class, serial) pairs of the history."""
        out = subprocess.run([HOST, "list"], env=self.env, capture_output=True, text=True, check=True).stdout
        return sorted((f[0], f[-1]) for f in (line.split() for line in out.splitlines())
                      if len(f) >= 4 and f[0] in ("A", "S"))

    def wait_error(self, text):
        wait_for(lambda: any(text in line for line in self.errors()), f"a line saying '{text}'")

    def stop(self):
        """SIGTERM; the agent must have exited 0 with nothing but its own lines on stderr."""
        self.process.send_signal(signal.SIGTERM)
        assert self.process.wait(timeout=5) == 0, self.errors()
        stray = [line for line in self.errors() if not line.startswith("velk-host watch: ")]
        assert not stray, stray


def put_in(agent, lab, card, what):
    """Puts `card` in reader 0, waits for the reminder after its read and takes it out."""
    reminders = agent.reminders()
    card.insert(lab.port(0))
    wait_for(lambda: agent.reminders() == reminders + 1, what)
    card.remove()
    lab.wait_card(0, present=False)


def alone(home):
    """Without pcscd: the agent reminds at the start and every --remind-every, holds
    the session's lock, says once that pcscd is missing, and SIGTERM stops it."""
    env = dict(os.environ, PCSCLITE_CSOCK_NAME=home + "/no-pcscd/pcscd.comm")
    agent = Agent(home, env, "--remind-every", "1")
    wait_for(lambda: agent.reminders() >= 3, "the reminder at the start and twice more")
    second = subprocess.run([HOST, "watch"], env=agent.env, capture_output=True, text=True, timeout=5)
    assert second.returncode == 1 and "another agent is running" in second.stderr, second
    assert agent.process.poll() is None
    agent.stop()
    assert agent.errors() == [
        "velk-host watch: pcscd cannot be reached (Service not available.): waiting for it"], agent.errors()
    # Once it is gone, the session is free again; a day is the default interval.
    agent = Agent(home, env)
    wait_for(lambda: agent.reminders() == 1, "the reminder at the start")
    agent.stop()
    unset = dict(agent.env, XDG_RUNTIME_DIR="")
    refused = subprocess.run([HOST, "watch"], env=unset, capture_output=True, text=True, timeout=5)
    assert refused.returncode == 1 and "cannot open the session lock $XDG_RUNTIME_DIR/" in refused.stderr, refused


def card(home):
    """On the real stack: a card put in is recorded once and reminded of; a card
    pulled out mid-read, one no module reads, a reader unplugged and pcscd
    stopped or restarted each give a line and the agent carries on."""
    certs = {name: certificate(home, name, serial, usage) for name, serial, usage in
             [("auth", "0A", "digitalSignature"), ("sign", "0B", "nonRepudiation"),
              ("later", "0C", "digitalSignature"), ("after-restart", "0D", "nonRepudiation")]}
    with pcsc_lab.PcscLab(home) as lab:
        # A card already in a reader is read at the start.
        first = pcsc_lab.VirtualCard([certs["auth"], certs["sign"]])
        first.insert(lab.port(1))
        lab.wait_card(1, present=True)
        agent = Agent(home, lab.env())
        wait_for(lambda: agent.reminders() == 2, "the reminders at the start and after the card")
        records = agent.records()
        assert [c for c, _ in records] == ["A", "S"], records
        read = first.commands
        first.remove()
        lab.wait_card(1, present=False)
        # Put in again (in the other reader): read again, nothing more recorded.
        put_in(agent, lab, first, "the reminder after the card again")
        assert agent.records() == records

        # Pulled out in the middle of the read: nothing half-recorded; put back, it is.
        pulled = pcsc_lab.VirtualCard([certs["auth"], certs["later"]], pull_after=read * 2 // 3)
        pulled.insert(lab.port(0))
        agent.wait_error("the card was taken out during its read")
        assert len(agent.records()) in (2, 3)
        lab.wait_card(0, present=False)
        whole = pcsc_lab.VirtualCard([certs["auth"], certs["later"]])
        whole.insert(lab.port(0))
        wait_for(lambda: len(agent.records()) == 3, "the card put back recorded")
        whole.remove()
        lab.wait_card(0, present=False)

        unknown = pcsc_lab.VirtualCard([certs["auth"]], piv=False)
        unknown.insert(lab.port(0))
        agent.wait_error("no PKCS#11 module recognises")
        scan = subprocess.run([HOST, "scan"], env=agent.env, capture_output=True, text=True)
        assert scan.returncode == 1 and "no PKCS#11 module recognises" in scan.stderr, scan
        unknown.remove()
        lab.wait_card(0, present=False)

        # The readers unplugged and plugged in again are watched again.
        lab.unplug()
        lab.plug()
        put_in(agent, lab, whole, "the card in the reader plugged in again")

        # pcscd stopped: one line; started again: one line, and cards are read again.
        # A connection lost again at once (pcscd still starting) is said once more,
        # never once per retry.
        lines = len(agent.errors())
        lab.stop()
        wait_for(lambda: len(agent.errors()) > lines, "a line saying pcscd cannot be reached")
        lab.start()
        late = pcsc_lab.VirtualCard([certs["after-restart"]])
        put_in(agent, lab, late, "the card after pcscd started again")
        said = agent.errors()[lines:]
        expected = ["pcscd cannot be reached", "pcscd is back"] * (len(said) // 2)
        assert len(said) % 2 == 0 and all(e in line for e, line in zip(expected, said)), said
        assert len(agent.records()) == 4
        lab.restart()
        put_in(agent, lab, late, "the card after pcscd restarted")
        agent.stop()


def main():
    case = {"alone": alone, "card": card}[sys.argv[2]]
    with tempfile.TemporaryDirectory() as home:
        try:
            case(home)
        except pcsc_lab.Skip as reason:
            print(f"skipped: {reason}")
            return 77
        finally:
            for process in Agent.started:
                if process.poll() is None:
                    process.kill()
                    process.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
