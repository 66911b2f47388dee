# fish completion for olvo-cli

set -l commands split restore verify repair checksum config

# The split descriptors (*.split, in any case) and the folders on the way to them.
function __olvo_cli_descriptors
    set -l token (commandline -ct)
    for f in $token*
        if test -d $f
            echo $f/
        else if string match -qi -- '*.split' $f
            echo $f
        end
    end
end

complete -c olvo-cli -f
complete -c olvo-cli -n "not __fish_seen_subcommand_from $commands" -s h -l help -d 'Show help'
complete -c olvo-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'
complete -c olvo-cli -n "not __fish_seen_subcommand_from $commands" -a split -d 'Cut a file into pieces'
complete -c olvo-cli -n "not __fish_seen_subcommand_from $commands" -a restore -d 'Rebuild a file from its split descriptor'
complete -c olvo-cli -n "not __fish_seen_subcommand_from $commands" -a verify -d 'Check that a split set is whole'
complete -c olvo-cli -n "not __fish_seen_subcommand_from $commands" -a repair -d 'Rebuild lost or damaged pieces from the recovery pieces'
complete -c olvo-cli -n "not __fish_seen_subcommand_from $commands" -a checksum -d 'Print the checksum a split records'
complete -c olvo-cli -n "not __fish_seen_subcommand_from $commands" -a config -d 'Show or change the default folders and sizes'

# split FILE
complete -c olvo-cli -n "__fish_seen_subcommand_from split" -F
complete -c olvo-cli -n "__fish_seen_subcommand_from split" -s s -l size -x -d 'Piece size in KB, or with K M G T (1024s) or KB MB GB TB (1000s)'
complete -c olvo-cli -n "__fish_seen_subcommand_from split" -s n -l count -x -d 'Number of pieces'
complete -c olvo-cli -n "__fish_seen_subcommand_from split" -s d -l destination -x -a '(__fish_complete_directories)' -d 'Folder for the pieces'
complete -c olvo-cli -n "__fish_seen_subcommand_from split" -l name -x -d 'With SOURCE -, the name of the file the pieces make'
complete -c olvo-cli -n "__fish_seen_subcommand_from split" -l no-hash -d 'Write no .sha256 file'
complete -c olvo-cli -n "__fish_seen_subcommand_from split" -l recovery -x -d 'Recovery pieces to write (PAR 2.0)'
complete -c olvo-cli -n "__fish_seen_subcommand_from split" -l overwrite -d 'Replace the pieces of another set'
complete -c olvo-cli -n "__fish_seen_subcommand_from split" -s q -l quiet -d 'No progress bar'

# restore, verify and repair DESCRIPTOR: .split files (and folders on the way to them)
complete -c olvo-cli -n "__fish_seen_subcommand_from restore verify repair" -a '(__olvo_cli_descriptors)'
complete -c olvo-cli -n "__fish_seen_subcommand_from restore" -s d -l destination -x -a '(__fish_complete_directories)' -d 'Folder for the rebuilt file'
complete -c olvo-cli -n "__fish_seen_subcommand_from restore" -s o -l output -r -F -d 'The rebuilt file, or - for standard output'
complete -c olvo-cli -n "__fish_seen_subcommand_from restore" -l delete-pieces -d 'Delete the set and its recovery pieces after a successful restore'
complete -c olvo-cli -n "__fish_seen_subcommand_from restore" -l restore-time -d 'Give the file its original time'
complete -c olvo-cli -n "__fish_seen_subcommand_from restore" -l overwrite -d 'Replace a file of the same name'
complete -c olvo-cli -n "__fish_seen_subcommand_from restore" -s q -l quiet -d 'No progress bar'
complete -c olvo-cli -n "__fish_seen_subcommand_from verify repair" -s q -l quiet -d 'No progress bar'

# checksum FILE
complete -c olvo-cli -n "__fish_seen_subcommand_from checksum" -F

# config
complete -c olvo-cli -n "__fish_seen_subcommand_from config" -l split-to -x -a '(__fish_complete_directories)' -d 'Put pieces in a folder by default'
complete -c olvo-cli -n "__fish_seen_subcommand_from config" -l no-split-to -d 'Put pieces beside their file by default'
complete -c olvo-cli -n "__fish_seen_subcommand_from config" -l restore-to -x -a '(__fish_complete_directories)' -d 'Put rebuilt files in a folder by default'
complete -c olvo-cli -n "__fish_seen_subcommand_from config" -l no-restore-to -d 'Put rebuilt files beside their descriptor'
complete -c olvo-cli -n "__fish_seen_subcommand_from config" -l sizes -x -d 'Split sizes offered, in KB, comma-separated'
complete -c olvo-cli -n "__fish_seen_subcommand_from $commands" -s h -l help -d 'Show help'
