#!/bin/sh
# The manual page of one vantorctl command. help2man reads 'vantorctl COMMAND --help-all'
# through a script named after the page, so that the page's title and NAME line are the
# command's own.   command-page.sh HELP2MAN VANTORCTL COMMAND INCLUDE PAGE
set -eu
help2man=$1
vantorctl=$2
command=$3
include=$4
page=$5
bin=$(dirname "$page")/bin
mkdir -p "$bin"
runner=$bin/vantorctl-$command
cat >"$runner" <<RUNNER
#!/bin/sh
case "\$1" in
  --help) exec "$vantorctl" $command --help-all ;;
  --version) "$vantorctl" --version | sed "s/^vantorctl /vantorctl-$command /" ;;
  *) exec "$vantorctl" "\$@" ;;
esac
RUNNER
chmod +x "$runner"
# The first line of the command's help: "vantorctl COMMAND: what it does".
summary=$("$vantorctl" help "$command" | sed -n '1s/^[^:]*: //p')
exec "$help2man" --no-info --section=1 --name="$summary" --include="$include" \
  --output="$page" "$runner"
