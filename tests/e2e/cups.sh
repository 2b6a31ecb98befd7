# Sourced by the printing tests: a running print service whose default queue writes PDF files.
# Safe to run any number of times, also by several tests at once: the service is started only
# when it is not running (and then left running, as the system's own), the queue is added only
# when missing.
#
# cups_setup: returns non-zero, with the reason in CUPS_WHY, when the service cannot run here.
# Afterwards CUPS_QUEUE names the queue and CUPS_PDF_DIRS the folders its PDF files go to.
CUPS_QUEUE=VeltryPDF
CUPS_PDF_DIRS=()
CUPS_WHY=""

cups_running() { lpstat -r 2>/dev/null | grep -qx 'scheduler is running'; }

cups_setup() {
  local tool
  for tool in cupsd lpadmin lpstat cupsenable cupsaccept pdftotext; do
    command -v "$tool" >/dev/null || { CUPS_WHY="$tool is not installed"; return 1; }
  done
  if ! cups_running; then
    # cupsd puts itself in the background.
    cupsd >/dev/null 2>&1 || { CUPS_WHY="cupsd would not start"; return 1; }
    for _ in $(seq 100); do cups_running && break; sleep 0.1; done
    cups_running || { CUPS_WHY="cupsd started but does not answer"; return 1; }
  fi
  if ! lpstat -p "$CUPS_QUEUE" >/dev/null 2>&1; then
    local model
    model="$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ {print $1; exit}')"
    [ -n "$model" ] || { CUPS_WHY="no cups-pdf printer model (printer-driver-cups-pdf)"; return 1; }
    lpadmin -p "$CUPS_QUEUE" -v cups-pdf:/ -m "$model" -E 2>/dev/null \
      || { CUPS_WHY="lpadmin could not add the $CUPS_QUEUE queue"; return 1; }
  fi
  # The queue takes PostScript; the default converter turns the program's fonts into glyph
  # pictures that no text can be read back from, cairo's keeps them as fonts.
  lpadmin -p "$CUPS_QUEUE" -o pdftops-renderer-default=pdftocairo 2>/dev/null || true
  cupsenable "$CUPS_QUEUE" 2>/dev/null || true
  cupsaccept "$CUPS_QUEUE" 2>/dev/null || true
  lpadmin -d "$CUPS_QUEUE" 2>/dev/null || true
  # The program asks the print service for its default; a user default set with lpoptions
  # would win over the service's, the environment wins over both.
  export PRINTER="$CUPS_QUEUE"

  # cups-pdf writes a user's jobs to its "Out" folder (${HOME} is that user's home), and jobs it
  # cannot give to a user to the anonymous folder.
  local conf=/etc/cups/cups-pdf.conf home out anon
  home="$(getent passwd "$(id -un)" | cut -d: -f6)"
  out="$(awk '$1 == "Out" {print $2}' "$conf" 2>/dev/null | tail -n1)"
  [ -n "$out" ] || out='${HOME}/PDF'
  anon="$(awk '$1 == "AnonDirName" {print $2}' "$conf" 2>/dev/null | tail -n1)"
  [ -n "$anon" ] || anon=/var/spool/cups-pdf/ANONYMOUS
  out="${out//\$\{HOME\}/$home}"
  out="${out//\$\{USER\}/$(id -un)}"
  CUPS_PDF_DIRS=("$out" "$anon")
  return 0
}

# Waits for a PDF newer than the file $1 that holds the text $2; prints its name.
cups_wait_for_pdf() {
  local since="$1" token="$2" dir pdf
  for _ in $(seq 300); do
    for dir in "${CUPS_PDF_DIRS[@]}"; do
      [ -d "$dir" ] || continue
      while IFS= read -r pdf; do
        [ -s "$pdf" ] || continue
        if pdftotext -layout "$pdf" - 2>/dev/null | grep -qF "$token"; then
          echo "$pdf"
          return 0
        fi
      done < <(find "$dir" -maxdepth 1 -name '*.pdf' -newer "$since" 2>/dev/null)
    done
    sleep 0.1
  done
  return 1
}
